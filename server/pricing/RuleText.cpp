#include "server/pricing/RuleText.h"

#include "protocol/DatePattern.h"

namespace server {

std::string shortDate(const wire::Date& date) {
    static const wire::DatePattern pattern("dd/mm/yyyy");
    return pattern.format(date);
}

std::string clockText(const std::string& hhmm) {
    return hhmm.size() == 4 ? hhmm.substr(0, 2) + ":" + hhmm.substr(2) : hhmm;
}

std::string ruleKeyText(const RuleRow& r) {
    return "produto " + r.product + ", vigência " + shortDate(r.periodStart) + ", dia " +
           std::string(1, r.day) + ", tipo de consumidor " + r.consumerType + ", " +
           clockText(r.timeStart) + " às " + clockText(r.timeEnd) + ", validade " +
           shortDate(r.validFrom) + " a " + shortDate(r.validTo);
}

}  // namespace server
