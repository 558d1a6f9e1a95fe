#pragma once
// The client area of a form drawn with Qt Widgets: one widget per control, mirroring the
// control model and handing every keystroke and click to the model.

#include <QWidget>
#include <string>
#include <unordered_map>

#include "forms/FormObserver.h"

class QKeyEvent;
class QLineEdit;

namespace vol {

class Control;
class Edit;
class Form;
class TDateEditPlus;
class UserInput;
enum class Key;

/// A thin view of one form. It builds a widget for every control at its geometry (in
/// the parent control's client area), mirrors captions, text, caret, marks, enabled and
/// visible states, fonts, colours and the focus from the model, and turns keys, clicks
/// and mouse focus moves into UserInput calls. It holds no rule of its own: what a key
/// does to a text, where Tab goes and what a click changes is the model's answer.
/// After detach() (the form is being destroyed) it never touches the form again.
class FormView : public QWidget, public FormObserver {
    Q_OBJECT
public:
    FormView(Form& form, UserInput& input, QWidget* parent = nullptr);
    ~FormView() override;

    /// The form shown, or null once it was destroyed.
    Form* form() const { return form_; }
    /// Forgets the form: stops observing it and ignores all input from now on.
    void detach();

    /// The widget that draws the named control, or null.
    QWidget* widgetFor(const std::string& controlName) const;
    QWidget* widgetFor(const Control& control) const;
    /// The widget that takes the keyboard focus for the control (a radio group's marked
    /// item), or null.
    QWidget* focusWidgetFor(const Control& control) const;

    /// The form's font: the classic 8-point sans serif (11 pixels), with fallbacks.
    static QFont formFont();
    /// The light yellow of entry fields.
    static QColor infoBackground();

    void controlChanged(Control& control) override;
    void focusChanged(Control* now) override;
    void formChanged(Form& form) override;

signals:
    /// Caption, size, position, visibility or window state of the form changed.
    void formPropertiesChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* build(Control& control);
    QWidget* makeWidget(Control& control, QWidget* parent);
    QLineEdit* makeLineEdit(Edit& edit, QWidget* parent);
    void watch(QObject* object, Control* control);
    void mirror(Control& control);
    void mirrorEdit(Edit& edit, QLineEdit* line);
    void applyFocus();
    bool handleKey(QKeyEvent* event);
    void moveFocus(Key key);
    void typeText(const QString& text);
    void caretMovedByMouse(Edit& edit, QLineEdit* line);
    void openCalendar(TDateEditPlus& edit, QLineEdit* line);

    Form* form_;
    UserInput& input_;
    std::unordered_map<const Control*, QWidget*> widgets_;
    std::unordered_map<const QObject*, Control*> owners_;
    int mirroring_ = 0;
    Control* focusShown_ = nullptr;  // the control the view last showed the focus in
};

}  // namespace vol
