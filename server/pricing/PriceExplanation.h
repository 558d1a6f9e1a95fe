#pragma once
// Which price a product has at a moment and why, and the words that say it: the
// explanation the server's `price` command and a till's both write, from the same code.

#include <string>
#include <vector>

#include "server/pricing/PriceCalculation.h"
#include "server/pricing/PriceMoment.h"
#include "server/pricing/PricedProduct.h"
#include "server/pricing/RuleResolver.h"

namespace server {

/// The price of one product at a moment, with every stored rule's verdict. The verdicts
/// and the applied rule point into `rules`: an explanation may be moved (the list keeps
/// its storage) but not copied (a copy would point into the original's list).
struct PriceExplanation {
    PriceExplanation() = default;
    PriceExplanation(PriceExplanation&&) = default;
    PriceExplanation& operator=(PriceExplanation&&) = default;
    PriceExplanation(const PriceExplanation&) = delete;
    PriceExplanation& operator=(const PriceExplanation&) = delete;

    PriceMoment at;
    PricedProduct product;
    std::vector<RuleRow> rules;      ///< the product's rules of the period, in key order
    std::vector<Verdict> verdicts;   ///< into `rules`: applied, passed over, out
    PriceResult price;
    const RuleRow* applied = nullptr;
};

/// The explanation of a product the branch sells: product with its base price in the
/// period in force, rules its stored rules of that period in key order. Without a period
/// there is no base price and no rule is looked at.
PriceExplanation explainProduct(const PriceMoment& at, PricedProduct product,
                                std::vector<RuleRow> rules);

/// The explanation in Portuguese, one line per rule, the applied one first.
std::string explanationText(const PriceExplanation& e);

}  // namespace server
