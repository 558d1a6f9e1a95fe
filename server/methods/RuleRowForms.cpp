#include "server/methods/RuleRowForms.h"

#include "server/methods/JsonText.h"

namespace server {

nlohmann::json ruleRowJson(const RuleRow& r) {
    std::string text;
    appendRuleRowJson(text, r);
    return nlohmann::json::parse(text);
}

// The keys in the order the JSON library keeps them: sorted.
void appendRuleRowJson(std::string& out, const RuleRow& r) {
    auto key = [&](std::string_view name) {
        out += out.back() == '{' ? "\"" : ",\"";
        out += name;
        out += "\":";
    };
    out += '{';
    key("CDFILIAL"), appendJsonString(out, r.branch);
    key("CDPRODUTO"), appendJsonString(out, r.product);
    key("CDTABEPREC"), appendJsonString(out, r.table);
    key("CDTIPOCONS"), appendJsonString(out, r.consumerType);
    key("DTFINVALID"), appendJsonDate(out, r.validTo.iso());
    key("DTINIVALID"), appendJsonDate(out, r.validFrom.iso());
    key("DTINIVGPREC"), appendJsonDate(out, r.periodStart.iso());
    key("DTULTATU");
    if (r.updatedAt.empty()) {
        out += "null";
    } else {
        appendJsonString(out, r.updatedAt);
    }
    key("HRFIN"), appendJsonString(out, r.timeEnd);
    key("HRINI"), appendJsonString(out, r.timeStart);
    key("IDDESCACRE"), out += std::to_string(columnValue(r.adjustment));
    key("IDDIA"), appendJsonString(out, std::string_view(&r.day, 1));
    key("IDVALPERC"), out += std::to_string(columnValue(r.amountKind));
    key("IDVISUALIZA"), out += std::to_string(columnValue(r.display));
    key("VRPRECDIF"), appendJsonNumber(out, r.amount);
    out += '}';
}

std::vector<PacketField> ruleFields() {
    return {{"CDFILIAL", CellType::Text, 4},     {"CDTABEPREC", CellType::Text, 3},
            {"DTINIVGPREC", CellType::Date},     {"CDPRODUTO", CellType::Text, 10},
            {"IDDIA", CellType::Text, 1},        {"CDTIPOCONS", CellType::Text, 2},
            {"HRINI", CellType::Text, 4},        {"HRFIN", CellType::Text, 4},
            {"DTINIVALID", CellType::Date},      {"DTFINVALID", CellType::Date},
            {"IDDESCACRE", CellType::Integer},   {"IDVALPERC", CellType::Integer},
            {"VRPRECDIF", CellType::Number},     {"IDVISUALIZA", CellType::Integer},
            {"DTULTATU", CellType::Text, 19}};
}

void appendRuleCells(PacketBuilder& p, const RuleRow& r) {
    p.text(r.branch).text(r.table).date(r.periodStart.iso()).text(r.product);
    p.text(std::string_view(&r.day, 1)).text(r.consumerType).text(r.timeStart).text(r.timeEnd);
    p.date(r.validFrom.iso()).date(r.validTo.iso()).integer(columnValue(r.adjustment))
        .integer(columnValue(r.amountKind));
    p.number(r.amount).integer(columnValue(r.display)).text(r.updatedAt);
}

}  // namespace server
