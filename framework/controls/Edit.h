#pragma once
// A single-line text entry.

#include <string>

#include "controls/Control.h"

namespace vol {

/// A plain edit. Its text is what the code reads and writes; every change of the text,
/// typed or written by code, raises OnChange, but writing the text it already holds is
/// no change. Typing goes through the key operations, which the user input drives.
class Edit : public Control {
public:
    Edit(Form& owner, Control* parent, std::string name, ControlKind kind = ControlKind::Edit);

    /// The text as the code reads it.
    virtual std::string text() const { return text_; }
    /// Writes the text as code does; raises OnChange when it differs.
    virtual void setText(const std::string& text);
    /// The characters the edit shows, one a position (a masked edit shows its literals
    /// and blanks).
    virtual std::string editText() const { return text_; }

    /// Maximum number of characters a person can type; 0 = no limit.
    int maxLength() const { return maxLength_; }
    void setMaxLength(int n);
    bool readOnly() const { return readOnly_; }
    void setReadOnly(bool on);

    /// Caret position in the edit text (characters, not bytes).
    int caret() const { return caret_; }
    void setCaret(int pos);
    /// Selects the whole text (what entering an edit does).
    void selectAll();
    void focusEntered() override { selectAll(); }
    bool allSelected() const { return allSelected_; }

    /// Types one character at the caret, replacing a whole selection first. Returns false
    /// when the edit refuses the key (length, mask, number rules).
    virtual bool typeChar(char32_t ch);
    /// Backspace and Delete at the caret (or on the selection).
    virtual void backspace();
    virtual void deleteForward();
    /// Empties the edit as select-all and Delete do.
    virtual void clearByUser();

    NotifyEvent OnChange;  ///< every change of the text

protected:
    /// Stores a new text and raises OnChange when it differs; the one place where the
    /// text of a plain edit changes.
    void storeText(std::string text);

    std::string text_;
    int caret_ = 0;
    bool allSelected_ = false;

private:
    int maxLength_ = 0;
    bool readOnly_ = false;
};

/// Number of characters (code points) of a UTF-8 text.
int utf8Length(const std::string& text);
/// Appends a code point to a UTF-8 text.
void appendUtf8(std::string& text, char32_t ch);
/// Byte offset of the character at position pos (clamped to the end).
std::size_t utf8Offset(const std::string& text, int pos);

}  // namespace vol
