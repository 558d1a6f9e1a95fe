#pragma once
// The large rule the reliability trials store: every product of branch 0001 on every day
// but "every day" (nine days a product), within one period of validity.

#include <string>

#include <nlohmann/json.hpp>

#include "RuleArguments.h"

namespace reliability {

inline nlohmann::json bigRule(const char* validFrom, const char* validTo, double amount) {
    nlohmann::json rule = testdb::baseRule();
    for (std::size_t a = testdb::kHolidayEve; a <= testdb::kSaturday; ++a) {
        testdb::arg(rule, a) = true;
    }
    testdb::arg(rule, testdb::kValidFrom) = testdb::date(validFrom);
    testdb::arg(rule, testdb::kValidTo) = testdb::date(validTo);
    testdb::arg(rule, testdb::kAmount) = amount;
    return rule;
}

/// The request line of a store of rule.
inline std::string storeRequest(const nlohmann::json& rule) {
    return nlohmann::json{{"jsonrpc", "2.0"},
                          {"id", 1},
                          {"method", "Vnd42400.rdmTabePreco.SetPrecDif"},
                          {"params", rule}}
               .dump() +
           "\n";
}

}  // namespace reliability
