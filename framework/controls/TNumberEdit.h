#pragma once
// The number edit: decimal numbers without currency sign or thousands separators.

#include <string>

#include "controls/Edit.h"

namespace vol {

/// A number edit with a fixed number of decimals and the application's decimal
/// separator. Typing accepts digits, one separator and a leading minus (a "." or a ","
/// typed or pasted is taken as the separator; a second one is refused); when the focus
/// leaves, a number is written back with its decimals ("10" becomes "10,00").
class TNumberEdit : public Edit {
public:
    TNumberEdit(Form& owner, Control* parent, std::string name);

    int decimals() const { return decimals_; }
    void setDecimals(int n) { decimals_ = n; }

    /// GetNumber: the typed number; 0 for an empty or unreadable text.
    double GetNumber() const;
    /// True when the text is a number (an empty text is not).
    bool hasNumber() const;
    /// Writes the number with the edit's decimals.
    void SetNumber(double value);

    bool typeChar(char32_t ch) override;
    void focusLeft() override;

private:
    char separator() const;

    int decimals_ = 2;
};

}  // namespace vol
