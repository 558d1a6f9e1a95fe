#include "server/methods/RuleRowForms.h"

#include "protocol/DatePattern.h"
#include "protocol/ValueCodec.h"

namespace server {

std::string shortDate(const wire::Date& date) {
    static const wire::DatePattern pattern("dd/mm/yyyy");
    return pattern.format(date);
}

std::string clockText(const std::string& hhmm) {
    return hhmm.size() == 4 ? hhmm.substr(0, 2) + ":" + hhmm.substr(2) : hhmm;
}

nlohmann::json ruleRowJson(const RuleRow& r) {
    return {{"CDFILIAL", r.branch},
            {"CDTABEPREC", r.table},
            {"DTINIVGPREC", wire::toJson(r.periodStart)},
            {"CDPRODUTO", r.product},
            {"IDDIA", std::string(1, r.day)},
            {"CDTIPOCONS", r.consumerType},
            {"HRINI", r.timeStart},
            {"HRFIN", r.timeEnd},
            {"DTINIVALID", wire::toJson(r.validFrom)},
            {"DTFINVALID", wire::toJson(r.validTo)},
            {"IDDESCACRE", columnValue(r.adjustment)},
            {"IDVALPERC", columnValue(r.amountKind)},
            {"VRPRECDIF", r.amount},
            {"IDVISUALIZA", columnValue(r.display)},
            {"DTULTATU", r.updatedAt.empty() ? nlohmann::json() : nlohmann::json(r.updatedAt)}};
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

std::string ruleKeyText(const RuleRow& r) {
    return "produto " + r.product + ", vigência " + shortDate(r.periodStart) + ", dia " +
           std::string(1, r.day) + ", tipo de consumidor " + r.consumerType + ", " +
           clockText(r.timeStart) + " às " + clockText(r.timeEnd) + ", validade " +
           shortDate(r.validFrom) + " a " + shortDate(r.validTo);
}

}  // namespace server
