#pragma once
// What a person does with keyboard and mouse, in terms of the control model.

#include <string>
#include <vector>

namespace vol {

class Application;
class Control;
class DBGrid;
class Edit;
class Form;
class RadioGroup;
class TBtnPesquisa;

/// Keys with a meaning of their own; printable characters go through typeChar.
enum class Key { Tab, BackTab, Enter, Backspace, Delete, Left, Right, Up, Down, Home, End, F2, Space };

/// Performs user actions on forms, each one inside the application's action boundary, so
/// a failing handler ends that action only. The Qt view and the scenario runner both act
/// through it, so the same keystroke runs the same handlers in both. Every operation
/// returns true when the action ran to its end.
class UserInput {
public:
    explicit UserInput(Application& app) : app_(app) {}

    /// Moves the focus to the control (the exit of the control left runs first).
    bool focus(Control& control);
    /// Tab or Shift+Tab from the focused control of the form. The edit the focus lands in
    /// (the next one, or the one left when its exit check failed) has its whole text
    /// selected, so what is typed next replaces it.
    bool tab(Form& form, bool forward = true);
    /// Focuses the edit, selects all and deletes it, then types the text key by key.
    bool type(Edit& edit, const std::string& text);
    /// Types the text key by key into the focused control of the form, as it stands:
    /// nothing is selected or erased first.
    bool typeKeys(Form& form, const std::string& text);
    /// One printable character typed into the focused control of the form; `accepted`,
    /// when given, tells whether the control took it (a refused key changes nothing, and
    /// the view lets the person know).
    bool typeChar(Form& form, char32_t ch, bool* accepted = nullptr);
    /// A key with a meaning of its own, on the focused control of the form. Tab, Shift+Tab
    /// and Enter move on as tab() does; F2 opens the lookup of the button associated with
    /// the control; Space clicks a focused check box or radio button and picks the marked
    /// item of a radio group (the first when none is). Delete in a grid raises the grid's
    /// OnDeleteKey. The arrows move the caret of an
    /// edit (left, right) and, in a radio group or among the radio buttons of one parent,
    /// move to the previous (up, left) or next (down, right) item and pick it; at either
    /// end they stay.
    bool key(Form& form, Key key);
    /// Selects the whole text of an edit (entering it with the keyboard, or Ctrl+A).
    bool selectAll(Edit& edit);
    /// Puts the caret of an edit at a position (a click inside its text).
    bool placeCaret(Edit& edit, int position);
    /// A click: a control that takes the focus gets it first (the exit of the control
    /// left runs, and when it fails the click does not happen); then the control's click.
    bool click(Control& control);
    /// Selects rows of a grid (the grid takes the focus first; pages up to the last row
    /// asked are fetched), the last one becoming the current row.
    bool selectRows(DBGrid& grid, const std::vector<int>& rows);
    /// The grid's next page, as scrolling past the loaded rows asks for it.
    bool fetchMore(DBGrid& grid);
    /// Chooses an item of a radio group (the group takes the focus first).
    bool selectItem(RadioGroup& group, int index);
    /// The keyboard shortcut of a flat button of the form ("F10", "Ctrl+S"): true when an
    /// enabled button of the form has it, and its click then ran; false (nothing done) for
    /// a key no button answers, which the view then handles as a key.
    bool shortcut(Form& form, const std::string& keyName);
    /// The form becomes the active window.
    bool activate(Form& form);
    /// Another window of the host becomes active.
    bool deactivate();
    /// The person closes the form.
    bool close(Form& form);

    /// The enabled lookup button associated with the control, or null.
    static TBtnPesquisa* lookupButtonFor(Control& control);

private:
    // Moves the focus to the control (exit checks first).
    void enterByKeyboard(Control* next);
    // The previous or next item of a radio group or radio button, picked.
    void moveAmongRadios(Control& focused, bool forward);

    Application& app_;
};

}  // namespace vol
