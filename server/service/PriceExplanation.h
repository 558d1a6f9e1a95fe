#pragma once
// Which price a product has at a moment and why: the facts of the moment, read from the
// store, and the resolution of the product's stored rules, in the forms the server's
// answers and its command line give.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "server/store/PricingQueries.h"
#include "server/pricing/PriceCalculation.h"
#include "server/pricing/RuleResolver.h"

namespace server {

/// Where and when a price is asked for, checked against the store.
struct PriceMoment {
    std::string branch;
    std::string table;
    std::optional<ValidityPeriod> period;  ///< none: no price at that date
    Moment moment;
};

/// Throws wire::RpcError (kInvalidParams) when the branch or its price table is not stored.
void checkPriceTable(RuleStore& store, const std::string& branch, const std::string& table);

/// Checks the branch, the table and the consumer type ("" or "T" for none) and reads the
/// period in force and the day's holidays. time is "HH:MM". Throws wire::RpcError
/// (kInvalidParams) with a Portuguese text for a code that is not stored or a time that is
/// not a time of day.
PriceMoment priceMoment(RuleStore& store, const std::string& branch, const std::string& table,
                        const std::string& consumerType, const wire::Date& date,
                        const std::string& time);

/// The price of one product at a moment, with every stored rule's verdict.
struct PriceExplanation {
    PriceMoment at;
    PricedProduct product;
    std::vector<RuleRow> rules;      ///< the product's rules of the period, in key order
    std::vector<Verdict> verdicts;   ///< into `rules`: applied, passed over, out
    PriceResult price;
    const RuleRow* applied = nullptr;
};

/// Explains the product's price. Throws wire::RpcError (kInvalidParams) when the branch
/// does not sell the product.
PriceExplanation explainPrice(RuleStore& store, const PriceMoment& at, const std::string& product);
/// The answer of GetPrecoVigente.
nlohmann::json explanationJson(const PriceExplanation& e);
/// The explanation in Portuguese, one line per rule, the applied one first.
std::string explanationText(const PriceExplanation& e);

/// The price book: every product the branch sells, in code order, with its applied rule
/// (nullptr: none) and its price at the moment. Nothing when no period is in force.
void forEachPrice(RuleStore& store, const PriceMoment& at,
                  const std::function<void(const PricedProduct&, const RuleRow* applied,
                                           const PriceResult&)>& fn);

/// "HHMM" of an "HH:MM" time of day; nullopt for anything else.
std::optional<std::string> clockToHhmm(const std::string& time);

}  // namespace server
