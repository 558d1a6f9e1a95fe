#pragma once
// A form as a child window of the host's multi-document area.

#include <QMdiSubWindow>

namespace vol {

class Form;
class FormView;
class UserInput;

/// The child window of one form: the form's caption, its client size, a fixed border
/// when the form has one, its visibility and window state, all from the model. It opens
/// at the top left corner of the area, or at the next cascade step when another window
/// is already there. Its system menu binds no keys: closing by key is the host's. Closing the window asks the model (UserInput::close); the window goes
/// away only when the form is destroyed.
class FormWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    FormWindow(Form& form, UserInput& input, QWidget* parent = nullptr);

    FormView* view() const { return view_; }
    /// The form, or null once it was destroyed.
    Form* form() const;
    /// The form is being destroyed: forget it and close for good (deleted later).
    void formDestroyed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void mirrorForm();
    // Where the window opens: the first cascade step no other open window sits at.
    QPoint openingPlace() const;

    FormView* view_;
    UserInput& input_;
    bool placed_ = false;
    bool dying_ = false;
    int mirroring_ = 0;
};

}  // namespace vol
