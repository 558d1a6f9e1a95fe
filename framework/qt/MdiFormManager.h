#pragma once
// Puts every form the application creates into a multi-document area.

#include <QObject>
#include <QPointer>
#include <unordered_map>

#include "forms/Application.h"

class QMdiArea;
class QMdiSubWindow;

namespace vol {

class FormWindow;
class UserInput;

/// Watches the application: a created form gets a FormWindow in the area, a destroyed
/// one loses it, and the active form and the active child window follow each other.
/// Only a person's switch to another child window activates a form; the area losing the
/// keyboard to a dialog or another program is not a change of the active form.
class MdiFormManager : public QObject, public ApplicationObserver {
    Q_OBJECT
public:
    MdiFormManager(Application& app, UserInput& input, QMdiArea& area, QObject* parent = nullptr);
    ~MdiFormManager() override;

    /// The window of the form, or null.
    FormWindow* windowFor(const Form& form) const;

    void formCreated(Form& form) override;
    void formDestroying(Form& form) override;
    void activeFormChanged(Form* form) override;

private:
    void subWindowActivated(QMdiSubWindow* window);

    Application& app_;
    UserInput& input_;
    QMdiArea& area_;
    std::unordered_map<const Form*, QPointer<FormWindow>> windows_;
};

}  // namespace vol
