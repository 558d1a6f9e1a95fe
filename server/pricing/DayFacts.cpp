#include "DayFacts.h"

namespace server {

namespace {

// The name of the holiday on `date`, the branch's own before the every-branch one,
// whatever the order of the list.
std::optional<std::string> holidayOn(const wire::Date& date, const std::string& branch,
                                     std::span<const Holiday> holidays) {
    const Holiday* everyBranch = nullptr;
    for (const Holiday& h : holidays) {
        if (h.date != date) {
            continue;
        }
        if (h.branch == branch) {
            return h.name;
        }
        if (h.branch == "T" && everyBranch == nullptr) {
            everyBranch = &h;
        }
    }
    if (everyBranch != nullptr) {
        return everyBranch->name;
    }
    return std::nullopt;
}

}  // namespace

DayFacts dayFactsFor(const wire::Date& date, const std::string& branch,
                     std::span<const Holiday> holidays) {
    DayFacts facts;
    facts.weekday = weekdayOf(date);
    facts.holiday = holidayOn(date, branch, holidays);
    facts.eve =
        holidayOn(wire::Date::fromDaysSinceEpoch(date.daysSinceEpoch() + 1), branch, holidays);
    return facts;
}

int weekdayOf(const wire::Date& date) {
    // 1970-01-01 was a Thursday, weekday 5.
    const long shifted = (date.daysSinceEpoch() + 4) % 7;
    return static_cast<int>(shifted < 0 ? shifted + 7 : shifted) + 1;
}

}  // namespace server
