#pragma once
// A decimal number with four places, the precision prices and amounts are reckoned in.

#include <compare>
#include <optional>

namespace server {

/// A decimal with exactly four places, held as a whole number of ten-thousandths.
/// Values stay within +-kMaxUnits so that the price arithmetic cannot overflow.
class Decimal4 {
  public:
    /// The largest magnitude held, in ten-thousandths: 10^18, that is 10^14 in units.
    static constexpr long long kMaxUnits = 1'000'000'000'000'000'000LL;

    constexpr Decimal4() = default;

    /// The stored binary number read as the shortest decimal that converts back to it,
    /// then rounded to four places half away from zero: 0.1 -> 0.1000, 2.675 -> 2.6750.
    /// A number that is not finite, or whose magnitude exceeds kMaxUnits, gives nullopt.
    static std::optional<Decimal4> tryFromDouble(double value);
    /// As tryFromDouble; a number out of range is held at +-kMaxUnits, NaN as zero.
    static Decimal4 fromDouble(double value);
    /// Exactly `units` ten-thousandths (clamped to +-kMaxUnits).
    static Decimal4 fromUnits(long long units);

    /// The value in ten-thousandths.
    constexpr long long units() const { return units_; }
    /// The value rounded to the cent, half away from zero.
    long long roundedCents() const;
    /// The double nearest to the value: its shortest text is the value itself.
    double toDouble() const;

    constexpr auto operator<=>(const Decimal4&) const = default;

  private:
    constexpr explicit Decimal4(long long units) : units_(units) {}

    long long units_ = 0;
};

}  // namespace server
