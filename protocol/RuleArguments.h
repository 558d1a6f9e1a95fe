#pragma once
// The 29 arguments of SetPrecDif (and of its dry run SimPrecDif), typed: what the screen
// sends and what the server reads, with the closed sets as enumerations. On the wire they
// stay the screen's positional booleans, integers, texts, dates and packet.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "DataPacket.h"
#include "Date.h"
#include "Value.h"

namespace wire {

/// Argument positions, 1-based as the screen's table numbers them.
namespace ruleArg {
enum Position : std::size_t {
    kEveryDay = 1, kHolidayEve, kHoliday, kSunday, kMonday, kTuesday, kWednesday, kThursday,
    kFriday, kSaturday, kListMode, kAllMode, kRangeMode, kSurcharge, kPercentage, kBranch,
    kTable, kRangeEnd, kRangeStart, kTimeStart, kTimeEnd, kValidFrom, kValidTo, kPeriodStart,
    kAmount, kPickedCodes, kProducts, kConsumerType, kDisplay
};
}  // namespace ruleArg

/// The day boxes of the screen, in the order of their arguments.
enum class DayBox { EveryDay, HolidayEve, Holiday, Sunday, Monday, Tuesday, Wednesday,
                    Thursday, Friday, Saturday };
inline constexpr std::size_t kDayBoxes = 10;

/// Which products a rule covers.
enum class ProductMode { List, All, Range };
/// IDDESCACRE: 0 discount, 1 surcharge.
enum class Adjustment { Discount = 0, Surcharge = 1 };
/// IDVALPERC: 0 an amount of money, 1 a percentage.
enum class AmountKind { Money = 0, Percentage = 1 };
/// IDVISUALIZA: 0 shown, 1 not shown.
enum class Display { Shown = 0, Hidden = 1 };

/// A rule as the screen sends it. A closed set the wire did not hold one member of (no
/// mode or two, an integer other than 0 or 1) is nullopt, for the server to refuse.
struct RuleArguments {
    std::array<bool, kDayBoxes> days{};  ///< each box as ticked, left-overs included
    std::optional<ProductMode> mode;
    std::optional<Adjustment> adjustment;
    std::optional<AmountKind> amountKind;
    std::string branch;
    std::string table;
    std::string rangeEnd;    ///< the last product of the range
    std::string rangeStart;  ///< the first product of the range
    std::string timeStart;   ///< HHMM
    std::string timeEnd;     ///< HHMM
    Date validFrom;
    Date validTo;
    Date periodStart;
    double amount = 0;
    std::string pickedCodes;  ///< always empty from the screen; not used
    std::optional<DataPacket> products;  ///< null when the screen had no list
    std::string consumerType;  ///< a code or "T"
    std::optional<Display> display;

    bool ticked(DayBox box) const { return days[static_cast<std::size_t>(box)]; }
    void tick(DayBox box, bool on = true) { days[static_cast<std::size_t>(box)] = on; }
};

/// The positional values of a call, in order.
std::vector<Value> toValues(const RuleArguments& rule);
/// The params array of a call.
nlohmann::json toParams(const RuleArguments& rule);
/// Reads a params array; throws RpcError(kInvalidParams) as checkParams does.
RuleArguments ruleArgumentsFromParams(const nlohmann::json& params);
/// The same for params that checkParams has accepted already: they are not walked again.
RuleArguments ruleArgumentsFromCheckedParams(const nlohmann::json& params);

}  // namespace wire
