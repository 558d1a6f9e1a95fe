#pragma once
// What kind of day a date is for a branch: its weekday, and whether it is a holiday or the
// eve of one.

#include <optional>
#include <span>
#include <string>

#include "protocol/Date.h"

namespace server {

/// A row of FERIADO. branch "T": a holiday of every branch.
struct Holiday {
    std::string branch;
    wire::Date date;
    std::string name;
};

/// The day kinds of one date for one branch.
struct DayFacts {
    int weekday = 1;                     ///< 1 Sunday .. 7 Saturday
    std::optional<std::string> holiday;  ///< the holiday's name when the date is one
    std::optional<std::string> eve;      ///< the next day's holiday's name when it is one
};

/// The facts of `date` for `branch`. holidays: any list (other branches and dates are
/// passed over). A date is a holiday when the list has it for the branch or for "T"; an eve
/// when the next date is a holiday. A date may be both. Where the branch and "T" both have
/// a date, the name is the branch's own.
DayFacts dayFactsFor(const wire::Date& date, const std::string& branch,
                     std::span<const Holiday> holidays);

/// The weekday of a date: 1 Sunday .. 7 Saturday.
int weekdayOf(const wire::Date& date);

}  // namespace server
