#include "server/pricing/RuleText.h"

#include <algorithm>

#include "protocol/DatePattern.h"

namespace server {

std::string shortDate(const wire::Date& date) {
    static const wire::DatePattern pattern("dd/mm/yyyy");
    return pattern.format(date);
}

std::string clockText(const std::string& hhmm) {
    return hhmm.size() == 4 ? hhmm.substr(0, 2) + ":" + hhmm.substr(2) : hhmm;
}

bool isTimeOfDay(const std::string& hhmm) {
    if (hhmm.size() != 4 || !std::all_of(hhmm.begin(), hhmm.end(),
                                         [](char ch) { return ch >= '0' && ch <= '9'; })) {
        return false;
    }
    const int hours = (hhmm[0] - '0') * 10 + (hhmm[1] - '0');
    const int minutes = (hhmm[2] - '0') * 10 + (hhmm[3] - '0');
    return hours <= 23 && minutes <= 59;
}

std::optional<std::string> clockToHhmm(const std::string& time) {
    if (time.size() != 5 || time[2] != ':') {
        return std::nullopt;
    }
    const std::string hhmm = time.substr(0, 2) + time.substr(3);
    return isTimeOfDay(hhmm) ? std::optional(hhmm) : std::nullopt;
}

std::string ruleKeyText(const RuleRow& r) {
    return "produto " + r.product + ", vigência " + shortDate(r.periodStart) + ", dia " +
           std::string(1, r.day) + ", tipo de consumidor " + r.consumerType + ", " +
           clockText(r.timeStart) + " às " + clockText(r.timeEnd) + ", validade " +
           shortDate(r.validFrom) + " a " + shortDate(r.validTo);
}

}  // namespace server
