// The price a rule gives, in decimal arithmetic to the cent.

#include <cctype>
#include <cmath>
#include <limits>
#include <optional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "server/pricing/PriceCalculation.h"

namespace {

enum Kind { ValueDiscount, ValueSurcharge, PercentDiscount, PercentSurcharge, NoRule };

struct PriceCase {
    const char* name;
    std::optional<double> base;
    Kind kind;
    double amount;
    std::optional<long long> cents;
    bool belowZero;
};

void PrintTo(const PriceCase& c, std::ostream* os) {
    *os << c.name;
}

const double kInf = std::numeric_limits<double>::infinity();

const PriceCase kCases[] = {
    {"percentage discount half a cent down", 19.99, PercentDiscount, 15, 1'699, false},
    {"percentage discount half a cent up", 10.05, PercentDiscount, 50, 503, false},
    {"percentage surcharge", 10.00, PercentSurcharge, 10, 1'100, false},
    {"value surcharge in decimals", 0.1, ValueSurcharge, 0.2, 30, false},
    {"value surcharge", 10.00, ValueSurcharge, 2.5, 1'250, false},
    {"value discount", 33.18, ValueDiscount, 3.19, 2'999, false},
    {"discount equal to the price", 10.00, ValueDiscount, 10.00, 0, false},
    {"discount above the price", 10.00, ValueDiscount, 10.01, 0, true},
    {"below zero by less than half a cent", 1.00, ValueDiscount, 1.0001, 0, true},
    {"percentage above 100", 10.00, PercentDiscount, 100.5, 0, true},
    {"no rule: the base price", 2.675, NoRule, 0, 268, false},
    {"no base price", std::nullopt, PercentDiscount, 10, std::nullopt, false},
    {"no base price and no rule", std::nullopt, NoRule, 0, std::nullopt, false},
    {"a base price that is not a number", std::nan(""), NoRule, 0, std::nullopt, false},
    {"an amount that is not finite", 10.00, ValueSurcharge, kInf, std::nullopt, false},
    {"the largest amounts do not overflow", 1e14, PercentSurcharge, 1e14, std::nullopt, false},
};

class PriceCalculation : public testing::TestWithParam<PriceCase> {};

TEST_P(PriceCalculation, GivesTheDecimalPriceRoundedToTheCent) {
    const PriceCase& c = GetParam();
    server::RuleRow rule;
    rule.adjustment = c.kind == ValueSurcharge || c.kind == PercentSurcharge
                          ? server::Adjustment::Surcharge
                          : server::Adjustment::Discount;
    rule.amountKind = c.kind == PercentDiscount || c.kind == PercentSurcharge
                          ? server::AmountKind::Percentage
                          : server::AmountKind::Money;
    rule.amount = c.amount;
    const auto result = server::computePrice(c.base, c.kind == NoRule ? nullptr : &rule);
    EXPECT_EQ(result.cents, c.cents);
    EXPECT_EQ(result.belowZero, c.belowZero);
}

INSTANTIATE_TEST_SUITE_P(Cases, PriceCalculation, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<PriceCase>& param) {
                             std::string name = param.param.name;
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) {
                                     ch = '_';
                                 }
                             }
                             return name;
                         });

}  // namespace
