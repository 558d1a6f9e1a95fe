#pragma once
// Where and when a price is asked for: the branch's price table, the period in force and
// the facts of the day, gathered from the data the asker holds (the server's store or a
// till's file).

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "protocol/Date.h"
#include "server/pricing/DayFacts.h"
#include "server/pricing/RuleResolver.h"
#include "server/pricing/ValidityPeriod.h"

namespace server {

/// Where and when a price is asked for.
struct PriceMoment {
    std::string branch;
    std::string table;
    std::optional<ValidityPeriod> period;  ///< none: no price at that date
    Moment moment;
};

/// The moment of `date` at `hhmm` ("HHMM") for a consumer type ("" or "T" for none):
/// the period of `periods` in force on the date, and the day's facts from `holidays`
/// (any list: other branches and dates are passed over).
PriceMoment momentAt(const std::string& branch, const std::string& table,
                     const std::string& consumerType, const wire::Date& date,
                     const std::string& hhmm, std::span<const ValidityPeriod> periods,
                     std::span<const Holiday> holidays);

/// The refusal of a consumer type that is not stored, in the words every refusal of it uses.
std::string unknownConsumerType(const std::string& code);

/// Why a price may not be asked for `consumerType`, as the server and a till refuse it:
/// unknownConsumerType when it names a type ("" and "T" name none) that `stored` does not
/// hold; nullopt when the price may be asked for.
std::optional<std::string> consumerTypeRefusal(
    const std::string& consumerType, const std::function<bool(const std::string&)>& stored);

/// The date and the "HH:MM" of a moment written "YYYY-MM-DD HH:MM" (the command lines'
/// --at); nullopt when the date part is not an existing date. The time is not checked.
std::optional<std::pair<wire::Date, std::string>> splitMoment(const std::string& at);

}  // namespace server
