#include "PriceCalculation.h"

#include <limits>

#include "Decimal4.h"

namespace server {

namespace {

__extension__ typedef __int128 Wide;

constexpr Wide kUnitsPerCent = 100;
// A percentage a/100 in ten-thousandths of a unit is a / 10^6: the factor (1 +- a/100)
// is held as (10^6 +- a) millionths, so b x factor is exact in 10^-10 units.
constexpr Wide kMillion = 1'000'000;

PriceResult rounded(Wide exact, Wide perCent) {
    PriceResult result;
    if (exact < 0) {
        result.cents = 0;
        result.belowZero = true;
        return result;
    }
    const Wide cents = (exact + perCent / 2) / perCent;  // half away from zero
    if (cents > std::numeric_limits<long long>::max()) {
        return result;
    }
    result.cents = static_cast<long long>(cents);
    return result;
}

}  // namespace

PriceResult computePrice(std::optional<double> base, const RuleRow* applied) {
    if (!base) {
        return {};
    }
    const auto b = Decimal4::tryFromDouble(*base);
    if (!b) {
        return {};
    }
    const Wide bu = b->units();
    if (applied == nullptr) {
        return rounded(bu, kUnitsPerCent);
    }
    const auto a = Decimal4::tryFromDouble(applied->amount);
    if (!a) {
        return {};
    }
    // Every magnitude is at most 10^18, so the widest product, 10^18 x (10^6 + 10^18),
    // stays far below 2^127.
    const Wide au = a->units();
    const bool surcharge = applied->adjustment == Adjustment::Surcharge;
    if (applied->amountKind == AmountKind::Percentage) {
        const Wide factor = surcharge ? kMillion + au : kMillion - au;
        return rounded(bu * factor, kUnitsPerCent * kMillion);
    }
    return rounded(surcharge ? bu + au : bu - au, kUnitsPerCent);
}

}  // namespace server
