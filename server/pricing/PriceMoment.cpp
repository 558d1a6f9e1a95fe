#include "server/pricing/PriceMoment.h"

#include "server/pricing/PeriodChoice.h"

namespace server {

PriceMoment momentAt(const std::string& branch, const std::string& table,
                     const std::string& consumerType, const wire::Date& date,
                     const std::string& hhmm, std::span<const ValidityPeriod> periods,
                     std::span<const Holiday> holidays) {
    PriceMoment at;
    at.branch = branch;
    at.table = table;
    at.period = periodOn(periods, date);
    // An asked "T" is no consumer type of its own: it matches the rules for all, as "" does.
    at.moment = Moment{date, hhmm, consumerType == "T" ? "" : consumerType,
                       dayFactsFor(date, branch, holidays)};
    return at;
}

std::string unknownConsumerType(const std::string& code) {
    return "Tipo de consumidor " + code + " não cadastrado.";
}

std::optional<std::string> consumerTypeRefusal(
    const std::string& consumerType, const std::function<bool(const std::string&)>& stored) {
    if (consumerType.empty() || consumerType == "T" || stored(consumerType)) {
        return std::nullopt;
    }
    return unknownConsumerType(consumerType);
}

std::optional<std::pair<wire::Date, std::string>> splitMoment(const std::string& at) {
    const auto date = at.size() == 16 && at[10] == ' ' ? wire::Date::fromIso(at.substr(0, 10))
                                                       : std::nullopt;
    if (!date) {
        return std::nullopt;
    }
    return std::pair{*date, at.substr(11)};
}

}  // namespace server
