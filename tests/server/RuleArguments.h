#pragma once
// The arguments of a SetPrecDif call as the screen sends them, for tests to vary.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace testdb {

/// Argument positions (1-based, as the screen's table numbers them).
enum Arg {
    kEveryDay = 1, kHolidayEve, kHoliday, kSunday, kMonday, kTuesday, kWednesday, kThursday,
    kFriday, kSaturday, kListMode, kAllMode, kRangeMode, kSurcharge, kPercentage, kBranch,
    kTable, kRangeEnd, kRangeStart, kTimeStart, kTimeEnd, kValidFrom, kValidTo, kPeriodStart,
    kAmount, kPickedCodes, kProducts, kConsumerType, kDisplay
};

/// A rule the demo data accepts: every product of branch 0001, table 001, period 2026,
/// Mondays, 00:01 to 23:59, February 2026, a discount of 1.50, all consumer types.
inline nlohmann::json baseRule() {
    using nlohmann::json;
    return json::array({false, false, false, false, true, false, false, false, false, false,
                        false, true, false, 0, 0, "0001", "001", "", "", "0001", "2359",
                        {{"$date", "2026-02-01"}}, {{"$date", "2026-02-28"}},
                        {{"$date", "2026-01-01"}}, 1.5, "", nullptr, "T", 1});
}

inline nlohmann::json& arg(nlohmann::json& rule, int position) {
    return rule[static_cast<std::size_t>(position - 1)];
}

inline nlohmann::json date(const char* iso) {
    return {{"$date", iso}};
}

/// The product packet the screen builds: four fields, only CDPRODUTO filled.
inline nlohmann::json productPacket(const std::vector<nlohmann::json>& codes) {
    using nlohmann::json;
    json rows = json::array();
    for (const json& code : codes) {
        rows.push_back(json::array({nullptr, code, nullptr, nullptr}));
    }
    return {{"$packet",
             {{"fields", json::array({{{"name", "IDMARCADO"}, {"type", "string"}, {"size", 1}},
                                      {{"name", "CDPRODUTO"}, {"type", "string"}, {"size", 10}},
                                      {{"name", "CDARVPROD"}, {"type", "string"}, {"size", 20}},
                                      {{"name", "NMPRODUTO"}, {"type", "string"}, {"size", 50}}})},
              {"rows", rows}}}};
}

/// Switches a rule to list mode over these codes.
inline nlohmann::json listRule(const std::vector<nlohmann::json>& codes) {
    nlohmann::json rule = baseRule();
    arg(rule, kListMode) = true;
    arg(rule, kAllMode) = false;
    arg(rule, kProducts) = productPacket(codes);
    return rule;
}

/// Switches a rule to range mode between two tree codes.
inline nlohmann::json rangeRule(const char* first, const char* last) {
    nlohmann::json rule = baseRule();
    arg(rule, kRangeMode) = true;
    arg(rule, kAllMode) = false;
    arg(rule, kRangeStart) = first;
    arg(rule, kRangeEnd) = last;
    return rule;
}

}  // namespace testdb
