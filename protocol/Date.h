#pragma once
// A calendar date without time, as the screen and the server exchange it.

#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace wire {

/// A proleptic Gregorian calendar date. A default Date is 1899-12-30, the zero of the
/// OLE date scale that the client library counts from.
struct Date {
    int year = 1899;
    int month = 12;
    int day = 30;

    auto operator<=>(const Date&) const = default;

    /// True for a date that exists in the calendar (year 1 to 9999).
    bool valid() const;
    /// "YYYY-MM-DD".
    std::string iso() const;
    /// Parses "YYYY-MM-DD"; nullopt for anything else or a date that does not exist.
    static std::optional<Date> fromIso(std::string_view text);
    /// Days since 1970-01-01 (negative before), for ordering and arithmetic.
    long daysSinceEpoch() const;
    static Date fromDaysSinceEpoch(long days);
};

/// True for a leap year of the Gregorian calendar.
bool isLeapYear(int year);
/// Days in the month, 0 for a month outside 1..12.
int daysInMonth(int year, int month);

}  // namespace wire
