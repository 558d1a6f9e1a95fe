#pragma once
// Which price a product has at a moment and why: the facts of the moment, read from the
// store, and the resolution of the product's stored rules; in words, as the command line
// gives it (the server's answer writes it as JSON).

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "server/service/DataReads.h"
#include "server/store/PricingQueries.h"
#include "server/pricing/PriceCalculation.h"
#include "server/pricing/PriceExplanation.h"
#include "server/pricing/PriceMoment.h"
#include "server/pricing/RuleResolver.h"
#include "server/pricing/RuleText.h"

namespace server {

/// Throws Refusal (Reason::Argument) when the branch or its price table is not stored.
void checkPriceTable(DataReads reads, const std::string& branch, const std::string& table);

/// Checks the branch, the table and the consumer type ("" or "T" for none) and reads the
/// period in force and the day's holidays. time is "HH:MM". Throws Refusal
/// (Reason::Argument) with a Portuguese text for a code that is not stored or a time that is
/// not a time of day.
PriceMoment priceMoment(DataReads reads, const std::string& branch, const std::string& table,
                        const std::string& consumerType, const wire::Date& date,
                        const std::string& time);

/// Explains the product's price; the product and its rules from memory when held (and
/// a period is in force). Throws Refusal (Reason::Argument) when the branch
/// does not sell the product.
PriceExplanation explainPrice(DataReads reads, const PriceMoment& at, const std::string& product);

/// The price book: every product the branch sells, in code order, with its applied rule
/// (nullptr: none) and its price at the moment. Nothing when no period is in force.
void forEachPrice(RuleStore& store, const PriceMoment& at,
                  const std::function<void(const PricedProduct&, const RuleRow* applied,
                                           const PriceResult&)>& fn);

}  // namespace server
