#include "Decimal4.h"

#include <charconv>
#include <cmath>

namespace server {

namespace {

// 10^14 as a double is exact, so the range test below is exact too.
constexpr double kMaxMagnitude = 1e14;
// Below 10^11 a double's spacing is under 2 x 10^-5, so no two numbers of four places
// read back as the same double.
constexpr double kQuickMagnitude = 1e11;

// Most stored amounts have four places or fewer. When a four-place decimal reads back as
// the value itself, the shortest text lies within one spacing of it, less than half a
// ten-thousandth, so it rounds to that decimal and need not be written. nullopt: the value
// has more places (or is large) and takes the long way.
std::optional<long long> quickUnits(double value) {
    if (!(std::fabs(value) < kQuickMagnitude)) {
        return std::nullopt;
    }
    const double units = std::nearbyint(value * 10'000.0);
    if (units / 10'000.0 != value) {
        return std::nullopt;
    }
    return static_cast<long long>(units);
}

}  // namespace

std::optional<Decimal4> Decimal4::tryFromDouble(double value) {
    if (!std::isfinite(value) || std::fabs(value) > kMaxMagnitude) {
        return std::nullopt;
    }
    if (const auto units = quickUnits(value)) {
        return Decimal4(*units);
    }
    // The shortest text that reads back as the same double is the decimal the user typed
    // (16.9915 is stored as 16.99149999..., its shortest text is "16.9915"). Fixed notation
    // keeps exponents out; the longest text, of the smallest subnormal, has 326 characters.
    char text[400];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (ec != std::errc{}) {
        return std::nullopt;
    }
    const char* p = text;
    const bool negative = *p == '-';
    if (negative) {
        ++p;
    }
    long long whole = 0;
    for (; p != end && *p != '.'; ++p) {
        whole = whole * 10 + (*p - '0');
    }
    long long fraction = 0;
    int places = 0;
    bool roundUp = false;
    if (p != end) {
        ++p;  // the point
        for (; p != end && places < 4; ++p, ++places) {
            fraction = fraction * 10 + (*p - '0');
        }
        // The shortest text is exact for our purpose: a fifth digit of 5 or more is at
        // least half a ten-thousandth, and half goes away from zero.
        roundUp = p != end && *p >= '5';
    }
    for (; places < 4; ++places) {
        fraction *= 10;
    }
    long long units = whole * 10'000 + fraction + (roundUp ? 1 : 0);
    return Decimal4(negative ? -units : units);
}

Decimal4 Decimal4::fromDouble(double value) {
    if (auto d = tryFromDouble(value)) {
        return *d;
    }
    if (std::isnan(value)) {
        return Decimal4();
    }
    return Decimal4(value < 0 ? -kMaxUnits : kMaxUnits);
}

Decimal4 Decimal4::fromUnits(long long units) {
    return Decimal4(units > kMaxUnits ? kMaxUnits : units < -kMaxUnits ? -kMaxUnits : units);
}

long long Decimal4::roundedCents() const {
    return units_ >= 0 ? (units_ + 50) / 100 : -((-units_ + 50) / 100);
}

double Decimal4::toDouble() const {
    // Below 2^53 units (every real price) both operands are exact and the division is
    // correctly rounded: the nearest double to the decimal, whose shortest text is it.
    return static_cast<double>(units_) / 10'000.0;
}

}  // namespace server
