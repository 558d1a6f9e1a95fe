#pragma once
// Which validity period of a price table is in force on a date.

#include <optional>
#include <span>

#include "server/pricing/ValidityPeriod.h"
#include "protocol/Date.h"

namespace server {

/// The period in force on `date`: start <= date <= end, both ends included; of overlapping
/// ones the latest start (the first given of equal starts). Dates are "YYYY-MM-DD"; a
/// period with a date that does not read is never in force. nullopt: none is.
std::optional<ValidityPeriod> periodOn(std::span<const ValidityPeriod> periods,
                                      const wire::Date& date);

}  // namespace server
