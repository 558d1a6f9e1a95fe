#pragma once
// Dates, times of day and rule keys as the people of a Brazilian store read them: the
// texts of refusals, explanations and the command line.

#include <optional>
#include <string>

#include "protocol/Date.h"
#include "server/pricing/RuleRow.h"

namespace server {

/// A date as people read it here: "16/02/2026".
std::string shortDate(const wire::Date& date);
/// "HHMM" as "HH:MM"; any other text as it is.
std::string clockText(const std::string& hhmm);
/// True for four digits forming a time of day, 0000 to 2359.
bool isTimeOfDay(const std::string& hhmm);
/// "HHMM" of an "HH:MM" time of day; nullopt for anything else.
std::optional<std::string> clockToHhmm(const std::string& time);
/// "produto 0000000001, vigência 01/01/2026, dia 2, tipo de consumidor T, 00:01 às 23:59,
/// validade 01/02/2026 a 28/02/2026": a row's key as a refusal names it (branch and table
/// are said by the call).
std::string ruleKeyText(const RuleRow& row);

}  // namespace server
