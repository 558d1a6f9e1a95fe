#pragma once
// The arguments of a SetPrecDif call as the screen sends them, for tests to vary.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "protocol/RuleArguments.h"

namespace testdb {

// Argument positions (1-based): kEveryDay ... kDisplay.
using namespace wire::ruleArg;

/// A rule the demo data accepts: every product of branch 0001, table 001, period 2026,
/// Mondays, 00:01 to 23:59, February 2026, a discount of 1.50, all consumer types.
inline wire::RuleArguments baseArguments() {
    wire::RuleArguments r;
    r.tick(wire::DayBox::Monday);
    r.mode = wire::ProductMode::All;
    r.adjustment = wire::Adjustment::Discount;
    r.amountKind = wire::AmountKind::Money;
    r.branch = "0001";
    r.table = "001";
    r.timeStart = "0001";
    r.timeEnd = "2359";
    r.validFrom = {2026, 2, 1};
    r.validTo = {2026, 2, 28};
    r.periodStart = {2026, 1, 1};
    r.amount = 1.5;
    r.consumerType.assign(1, 'T');
    r.display = wire::Display::Hidden;
    return r;
}

inline nlohmann::json baseRule() {
    return wire::toParams(baseArguments());
}

inline nlohmann::json& arg(nlohmann::json& rule, std::size_t position) {
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
