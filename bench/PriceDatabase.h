#pragma once
// The branch the pricing figures are taken on: 125,000 products of branch 0001 with five
// rules stored through SetPrecDif over every product (625,000 PRECDIF rows).

#include <string>
#include <vector>

#include "BenchSupport.h"
#include "protocol/Value.h"

namespace bench {

inline constexpr int kPriceProducts = 125'000;
inline constexpr long kPriceRules = 5L * kPriceProducts;

/// The five rules, each over every product: different days, consumer types, windows and
/// validities, money and percentage discounts.
const std::vector<AllProductsRule>& fiveRules();

/// Carnival Monday 2026 at 11:15 for consumer type 01 (CDTIPOCONS, date, time): a
/// weekday, a holiday and an eve at once, so that rules are applied, passed over and out
/// for every product.
std::vector<wire::Value> momentArgs();

/// The SQLite file of that branch, made once per process, or kept in the file
/// VND_BENCH_PRICE_DB names (made there when it does not hold the rules yet).
const std::string& priceDatabase();

/// A request line (no line break) calling Vnd42400.rdmTabePreco.METHOD.
std::string requestLine(const std::string& method, const std::vector<wire::Value>& args, long id);

}  // namespace bench
