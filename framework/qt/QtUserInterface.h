#pragma once
// The framework's user interface with Qt dialogs.

#include <QPointer>
#include <QWidget>

#include "ui/UserInterface.h"

namespace vol {

class ProgressWidget;

/// The person at a Qt desktop: a modal error box, an information box, a Yes/No question
/// with "Sim" and "Não", the lookup, multi-pick and read-only lists (ListDialog), the
/// save-file dialog (opening in the user's documents folder), the notice of an empty
/// list, the progress animation over the main window, and the hourglass as an override
/// cursor. Dialogs are parented to the window given (the host's main window).
class QtUserInterface : public UserInterface {
public:
    explicit QtUserInterface(QWidget* window = nullptr);
    ~QtUserInterface() override;

    void setWindow(QWidget* window);
    /// The progress animation widget, or null while none was shown.
    ProgressWidget* progress() const;
    /// Keeps the animation moving during a long synchronous wait: call it from the wait.
    void pump();

    void showError(const std::string& text) override;
    void showInfo(const std::string& text) override;
    bool askYesNo(const std::string& text, DefaultAnswer byDefault) override;
    std::optional<int> lookup(const std::string& title, const DataSet& data, int startRow = 0) override;
    std::optional<std::vector<int>> pickMany(const std::string& title, const DataSet& data,
                                             const std::vector<int>& ticked = {}) override;
    std::optional<std::string> askSaveFile(const std::string& title, const std::string& suggestedName,
                                           const std::string& filter) override;
    void showList(const std::string& title, const DataSet& data) override;
    void showListEmpty(const std::string& text) override;
    void showProgress(ProgressKind kind, const std::string& caption) override;
    void hideProgress() override;
    void setCursor(Cursor cursor) override;

private:
    QWidget* dialogParent() const;

    QPointer<QWidget> window_;
    QPointer<ProgressWidget> progress_;
    bool hourglass_ = false;
};

}  // namespace vol
