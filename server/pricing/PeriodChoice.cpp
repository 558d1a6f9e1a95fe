#include "PeriodChoice.h"

namespace server {

std::optional<ValidityPeriod> periodOn(std::span<const ValidityPeriod> periods,
                                      const wire::Date& date) {
    const ValidityPeriod* chosen = nullptr;
    wire::Date chosenStart;
    for (const ValidityPeriod& p : periods) {
        // Read as dates rather than compared as texts, so that a malformed stored date
        // cannot pass for one in force.
        const auto start = wire::Date::fromIso(p.start);
        const auto end = wire::Date::fromIso(p.end);
        if (!start || !end || date < *start || *end < date) {
            continue;
        }
        if (chosen == nullptr || chosenStart < *start) {
            chosen = &p;
            chosenStart = *start;
        }
    }
    if (chosen == nullptr) {
        return std::nullopt;
    }
    return *chosen;
}

}  // namespace server
