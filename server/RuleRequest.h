#pragma once
// The 29 arguments of SetPrecDif, read from the wire and typed.

#include <array>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "protocol/DataPacket.h"
#include "protocol/Date.h"

namespace server {

/// The number of arguments SetPrecDif takes.
inline constexpr std::size_t kRuleArguments = 29;

/// A differentiated-price rule exactly as the screen sent it; nothing checked yet beyond
/// the type of each argument.
struct RuleRequest {
    bool everyDay = false;        ///< 1
    bool holidayEve = false;      ///< 2
    bool holiday = false;         ///< 3
    std::array<bool, 7> weekdays{};  ///< 4..10, Sunday..Saturday
    bool listMode = false;        ///< 11
    bool allMode = false;         ///< 12
    bool rangeMode = false;       ///< 13
    long long surcharge = 0;      ///< 14: 0 discount, 1 surcharge
    long long percentage = 0;     ///< 15: 0 value, 1 percentage
    std::string branch;           ///< 16
    std::string table;            ///< 17
    std::string rangeEnd;         ///< 18: the last product of the range
    std::string rangeStart;       ///< 19: the first product of the range
    std::string timeStart;        ///< 20: HHMM
    std::string timeEnd;          ///< 21: HHMM
    wire::Date validFrom;         ///< 22
    wire::Date validTo;           ///< 23
    wire::Date periodStart;       ///< 24
    double amount = 0;            ///< 25
    std::string pickedCodes;      ///< 26: always empty from the screen; not used
    std::optional<wire::DataPacket> products;  ///< 27: null when the screen had no list
    std::string consumerType;     ///< 28: a code or "T"
    long long display = 0;        ///< 29
};

/// Reads the params array of a SetPrecDif call. Throws wire::RpcError with
/// rpc::kInvalidParams and a Portuguese text naming the argument when the count or the
/// type of any argument is wrong.
RuleRequest parseRuleRequest(const nlohmann::json& params);

}  // namespace server
