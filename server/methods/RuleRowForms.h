#pragma once
// A PRECDIF row in the forms the methods answer with: an object by column name, or the
// cells of a packet row.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "server/methods/PacketBuilder.h"
#include "server/pricing/RuleRow.h"

namespace server {

/// The 15 PRECDIF columns by name, dates as {"$date"}, DTULTATU as text (null when not
/// set).
nlohmann::json ruleRowJson(const RuleRow& row);
/// The same object appended as JSON text, byte for byte the dump of ruleRowJson.
void appendRuleRowJson(std::string& out, const RuleRow& row);
/// The packet fields of those 15 columns, in table order.
std::vector<PacketField> ruleFields();
/// Adds the 15 cells of row to the builder's current row.
void appendRuleCells(PacketBuilder& packet, const RuleRow& row);

}  // namespace server
