#pragma once
// The text of a number edit: fixed decimals, a chosen decimal separator, no grouping.

#include <optional>
#include <string>
#include <string_view>

namespace vol {

/// Writes, reads and filters the text of a number edit. No thousands separators and no
/// currency sign are ever written or accepted.
class NumberFormat {
public:
    /// The value with exactly `decimals` digits after the separator (none and no separator
    /// for 0), rounded half away from zero as the value is written in decimal (1.005 gives
    /// "1,01"); "-" in front of a negative value, never in front of a zero ("-0" and
    /// -0.001 with 2 decimals give "0,00"). Negative decimals count as 0; a value that is
    /// not finite gives an empty text.
    static std::string format(double value, int decimals, char decimalSeparator);

    /// Reads "10", "10,5", ",5", "-3,2", "10," with blanks around; nullopt for an empty or
    /// blank text, a second separator, grouping, a plus sign, letters, a lone "-", or a
    /// number too large for a double. A negative zero reads as 0.
    static std::optional<double> parse(std::string_view text, char decimalSeparator);

    /// True when typing `key` at `caret` (inserting) keeps the text a number being typed:
    /// digits anywhere before the decimals' limit, one separator (none when decimals is 0),
    /// a "-" only in front of everything, at most `decimals` digits after the separator.
    static bool acceptsKey(std::string_view currentText, int caret, char key, char decimalSeparator,
                           int decimals);

    /// The key a number edit without thousands separators takes for `key`: "." and ","
    /// both mean the decimal separator there (a numeric keypad gives "." whatever the
    /// locale), so either becomes `decimalSeparator`; every other key stays as it is.
    static char decimalKey(char key, char decimalSeparator);
};

}  // namespace vol
