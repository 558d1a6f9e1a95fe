#pragma once
// The price a stored rule gives: the base price changed by the applied rule's amount.

#include <optional>

#include "RuleRow.h"

namespace server {

/// A computed price. cents: nullopt when there is no price (no base price, or a base or
/// amount that is not a finite number below 10^14, or a result too large to hold).
/// belowZero: the exact result was below zero, so the price is 0.00 (the discount exceeds
/// the price).
struct PriceResult {
    std::optional<long long> cents;
    bool belowZero = false;
};

/// The price of a product. base: its base price (nullopt: no base price -> no price).
/// applied: the applied rule, or nullptr (-> the base price). Base and amount are read as
/// Decimal4 (shortest decimal, four places); value discount b - a, value surcharge b + a,
/// percentage discount b x (1 - a/100), percentage surcharge b x (1 + a/100), computed
/// exactly and rounded to the cent half away from zero: 19.99 less 15 % is 16.99.
/// No allocation, no exception.
PriceResult computePrice(std::optional<double> base, const RuleRow* applied);

}  // namespace server
