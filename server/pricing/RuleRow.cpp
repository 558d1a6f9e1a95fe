#include "RuleRow.h"

namespace server {

bool RuleRow::sameKey(const RuleRow& o) const {
    return branch == o.branch && table == o.table && periodStart == o.periodStart &&
           product == o.product && day == o.day && consumerType == o.consumerType &&
           timeStart == o.timeStart && timeEnd == o.timeEnd && validFrom == o.validFrom &&
           validTo == o.validTo;
}

}  // namespace server
