#pragma once
// The text of a date edit: its mask, reading its text as a date, the weekday names.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/Date.h"
#include "protocol/DatePattern.h"

namespace vol {

/// What a date edit's text holds.
enum class DateTextState {
    Empty,    ///< only blanks and separators: the edit holds no date
    Valid,    ///< a date that exists
    Invalid,  ///< something typed that is not a date (partly typed, 31/02, 13th month)
};

/// A date edit's text read with the short date pattern.
struct DateTextReading {
    DateTextState state = DateTextState::Empty;
    std::optional<wire::Date> date;  ///< set exactly when state is Valid
};

/// Helpers of the date edit; pure, no state.
class DateText {
public:
    /// Weekday names, Sunday first, as the date edit shows them (UTF-8).
    static constexpr std::array<std::string_view, 7> weekdayNames{
        "Domingo", "Segunda", "Terça", "Quarta", "Quinta", "Sexta", "Sábado"};

    /// The edit mask for the pattern: two digit places for a day or month field (one or
    /// two letters), two or four for the year, separators as literals saved in the text,
    /// "!" in front, blank character ' ' ("dd/mm/yyyy" gives "!99/99/9999;1; ").
    static std::string editMask(const wire::DatePattern& pattern);
    /// The edit text that shows the date under editMask(pattern) ("07/03/2026";
    /// " 7/ 3/2026" for "d/m/yyyy").
    static std::string editText(const wire::Date& date, const wire::DatePattern& pattern);
    /// Reads an edit text (or any text in the pattern). Blanks at the edges of a field are
    /// ignored, so " 7/ 3/2026" reads under "d/m/yyyy"; a blank inside a field, or a
    /// field left short under a two-letter field ("7/03/2026" for "dd"), is Invalid.
    static DateTextReading read(std::string_view text, const wire::DatePattern& pattern);
    /// The date of the text, nullopt both for an empty and an invalid text (read() tells
    /// them apart).
    static std::optional<wire::Date> dateFromEditText(std::string_view text, const wire::DatePattern& pattern);
    /// True when the text holds only blanks and the pattern's separators.
    static bool isBlank(std::string_view text, const wire::DatePattern& pattern);
    /// Day of the week, 0 = Sunday .. 6 = Saturday, an index of weekdayNames; -1 for a date
    /// that does not exist.
    static int weekday(const wire::Date& date);
};

}  // namespace vol
