#pragma once
// Dates written and read as text in a short date-format pattern such as "dd/mm/yyyy".

#include <optional>
#include <string>
#include <string_view>

#include "Date.h"

namespace wire {

/// A short date pattern: "d"/"dd" day, "m"/"mm" month, "yy"/"yyyy" year, any other
/// character a literal separator (letter case of the pattern letters ignored).
/// The client sends its pattern with every call that returns dates as text, and reads the
/// answer back with the same pattern, so format() and parse() are exact inverses for
/// every date of years 1..9999 under a four-digit year pattern.
class DatePattern {
public:
    /// Throws std::invalid_argument for a pattern without day, month and year, or with an
    /// unknown run of letters, or longer than 32 characters.
    explicit DatePattern(std::string_view pattern);

    const std::string& pattern() const { return pattern_; }
    /// The date written in the pattern ("dd/mm/yyyy": 2026-03-07 gives "07/03/2026").
    std::string format(const Date& date) const;
    /// Reads a text written in the pattern; nullopt when it does not match or names a
    /// date that does not exist (31/02/2026). "yy" reads as 2000..2099.
    std::optional<Date> parse(std::string_view text) const;

private:
    std::string pattern_;
};

}  // namespace wire
