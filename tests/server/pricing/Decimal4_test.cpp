// Amounts read from stored doubles as the decimals people typed, and cents written the way
// a Brazilian store writes them.

#include <climits>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "server/pricing/Decimal4.h"
#include "server/pricing/Money.h"

namespace {

using server::Decimal4;

TEST(Decimal4, ReadsTheShortestDecimalOfAStoredDoubleRoundedHalfAwayFromZero) {
    struct Case {
        double value;
        long long units;
    } const cases[] = {
        {0.1, 1'000},
        {2.675, 26'750},  // binary 2.67499999...: still 2.675
        {1e9 - 0.0001, 9'999'999'999'999},
        {16.99150000001, 169'915},
        {2.00005, 20'001},
        {-2.00005, -20'001},
        {0.00004, 0},
        {0.00005, 1},
        {1e-300, 0},
        {0.1 + 0.2, 3'000},  // 0.30000000000000004
        {123456789.12345, 1'234'567'891'235},
        {99999999999.9999, 999'999'999'999'999},
        {123456789012.3456, 1'234'567'890'123'456},
        {99999999999999.99, 999'999'999'999'999'800},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Decimal4::fromDouble(c.value).units(), c.units) << c.value;
    }
}

TEST(Decimal4, RefusesWhatIsNotAFiniteAmountInRange) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(Decimal4::tryFromDouble(std::nan("")));
    EXPECT_FALSE(Decimal4::tryFromDouble(inf));
    EXPECT_FALSE(Decimal4::tryFromDouble(1.5e14));
    EXPECT_TRUE(Decimal4::tryFromDouble(-1e14));
    EXPECT_EQ(Decimal4::fromDouble(-inf).units(), -Decimal4::kMaxUnits);
    EXPECT_EQ(Decimal4::fromDouble(std::nan("")).units(), 0);
    EXPECT_EQ(Decimal4::fromUnits(LLONG_MAX).units(), Decimal4::kMaxUnits);
}

TEST(Decimal4, RoundsToTheCentHalfAwayFromZeroAndGivesTheShortDouble) {
    EXPECT_EQ(Decimal4::fromUnits(169'915).roundedCents(), 1'699);
    EXPECT_EQ(Decimal4::fromUnits(50).roundedCents(), 1);
    EXPECT_EQ(Decimal4::fromUnits(-50).roundedCents(), -1);
    EXPECT_EQ(Decimal4::fromUnits(49).roundedCents(), 0);
    EXPECT_EQ(Decimal4::fromUnits(169'900).toDouble(), 16.99);
    EXPECT_LT(Decimal4::fromUnits(1), Decimal4::fromUnits(2));
}

TEST(Money, WritesCentsInBrazilianForm) {
    struct Case {
        long long cents;
        const char* money;
        const char* decimal;
    } const cases[] = {
        {0, "0,00", "0,00"},
        {5, "0,05", "0,05"},
        {99'999, "999,99", "999,99"},
        {123'456, "1.234,56", "1234,56"},
        {100'000'000, "1.000.000,00", "1000000,00"},
        {-50, "-0,50", "-0,50"},
        {LLONG_MIN, "-92.233.720.368.547.758,08", "-92233720368547758,08"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(server::moneyText(c.cents), c.money);
        EXPECT_EQ(server::decimalText(c.cents), c.decimal);
    }
    EXPECT_EQ(server::centsToDouble(1'699), 16.99);
    EXPECT_EQ(server::centsToDouble(-5), -0.05);
}

}  // namespace
