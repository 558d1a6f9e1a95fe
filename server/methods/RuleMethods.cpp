#include "server/methods/RuleMethods.h"

#include <algorithm>
#include <set>

#include "server/methods/PacketBuilder.h"
#include "server/service/PriceExplanation.h"
#include "server/store/PricingQueries.h"
#include "server/store/RuleNotStored.h"
#include "server/service/RuleChecker.h"
#include "server/methods/RuleRowForms.h"
#include "server/pricing/RuleResolver.h"
#include "server/pricing/RuleText.h"
#include "protocol/JsonRpc.h"
#include "protocol/RuleArguments.h"
#include "protocol/ValueCodec.h"

namespace server {

namespace {

using nlohmann::json;

[[noreturn]] void refuse(const std::string& message) {
    throw wire::RpcError(wire::rpc::kInvalidParams, message);
}

// A page of a listing: offset from 0, limit 1 to 10,000.
std::pair<long, long> page(const std::string& method, const json& offset, const json& limit) {
    const long long from = offset;
    const long long count = limit;
    if (from < 0) {
        refuse(method + ": o início deve ser zero ou mais.");
    }
    if (count < 1 || count > 10000) {
        refuse(method + ": a quantidade deve estar entre 1 e 10.000.");
    }
    return {static_cast<long>(from), static_cast<long>(count)};
}

bool isDay(const std::string& day) {
    return day.size() == 1 && (day[0] == 'T' || day[0] == 'F' || day[0] == 'V' ||
                               (day[0] >= '1' && day[0] <= '7'));
}

// A key cell of DelPrecDif's packet: a text, or a date as {"$date"} or as ISO text.
std::string cellText(const json& cell) {
    if (cell.is_string()) {
        return cell.get<std::string>();
    }
    if (auto date = wire::dateFromJson(cell)) {
        return date->iso();
    }
    return {};
}

}  // namespace

json setPrecDif(const MethodContext& call) {
    const UpsertCounts counts =
        storeRule(call.store, wire::ruleArgumentsFromCheckedParams(call.params));
    return json{{"stored", counts.stored}, {"replaced", counts.replaced}};
}

json simPrecDif(const MethodContext& call) {
    const wire::RuleArguments request = wire::ruleArgumentsFromCheckedParams(call.params);
    // The same checks and the same rows as a store: what is refused here is refused there.
    const RuleRows rows = checkRuleRows(request, loadRuleContext(call.store, request));
    std::vector<std::string> products = rows.products;
    std::sort(products.begin(), products.end());
    long replaced = 0;
    long competing = 0;
    json sample = json::array();
    RuleRow fresh = rows.shared;
    PricingQueries(call.store).forEachRuleOf(
        rows.shared.branch, rows.shared.table, rows.shared.periodStart, products,
        [&](const RuleRow& stored) {
            fresh.product = stored.product;
            bool replacedByRule = false;
            for (char day : rows.days) {
                fresh.day = day;
                replacedByRule = replacedByRule || fresh.sameKey(stored);
            }
            if (replacedByRule) {
                ++replaced;
                return;
            }
            for (char day : rows.days) {
                fresh.day = day;
                if (!competes(fresh, stored)) {
                    continue;
                }
                ++competing;
                if (sample.size() < 20) {
                    const auto ranking = rank(fresh, stored);
                    sample.push_back(
                        {{"nova", ruleRowJson(fresh)},
                         {"existente", ruleRowJson(stored)},
                         {"vence", ranking && ranking->firstWins ? "nova" : "existente"},
                         {"motivo", ranking ? json(std::string(precedenceText(ranking->step)))
                                            : json(nullptr)}});
                }
            }
        });
    return json{{"stored", static_cast<long>(rows.size())},
                {"replaced", replaced},
                {"products", static_cast<long>(rows.products.size())},
                {"competing", competing},
                {"sample", std::move(sample)}};
}

json getPrecDif(const MethodContext& call) {
    const json& p = call.params;
    RuleFilter filter;
    filter.branch = p[0];
    filter.table = p[1];
    checkPriceTable(call.store, filter.branch, filter.table);
    filter.periodStart = wire::dateFromJson(p[2]);
    filter.firstProduct = p[3];
    filter.lastProduct = p[4];
    filter.consumerType = p[5];
    filter.day = p[6];
    filter.validOn = wire::dateFromJson(p[7]);
    if (!filter.day.empty() && !isDay(filter.day)) {
        refuse("GetPrecDif: dia '" + filter.day + "' inválido: use T, F, V ou 1 a 7.");
    }
    const auto [offset, limit] = page("GetPrecDif", p[8], p[9]);
    PricingQueries queries(call.store);
    std::vector<PacketField> fields = ruleFields();
    fields.push_back({"CDARVPROD", CellType::Text, 20});
    fields.push_back({"NMPRODUTO", CellType::Text, 50});
    PacketBuilder packet(std::move(fields));
    const long total = queries.listRules(
        filter, offset, limit, [&](const RuleRow& row, std::string_view tree, std::string_view name) {
            packet.row();
            appendRuleCells(packet, row);
            packet.text(tree).text(name);
        });
    return json{{"total", total}, {"rows", packet.take()}};
}

json delPrecDif(const MethodContext& call) {
    const std::string branch = call.params[0];
    const std::string table = call.params[1];
    checkPriceTable(call.store, branch, table);
    // The params are checked: the packet has its fields, each named, and its rows, each
    // as wide as the fields. at() all the same: a const JSON object's [] on a missing key
    // reads past its end.
    const json& packet = call.params[2].at("$packet");
    const json& fields = packet.at("fields");
    const json& rows = packet.at("rows");
    static const char* const kKey[] = {"CDFILIAL",   "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO",
                                       "IDDIA",      "CDTIPOCONS", "HRINI",       "HRFIN",
                                       "DTINIVALID", "DTFINVALID"};
    std::vector<std::size_t> column;
    for (const char* name : kKey) {
        std::size_t found = fields.size();
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (fields[i].at("name") == name) {
                found = i;
            }
        }
        if (found == fields.size()) {
            refuse(std::string("DelPrecDif: o pacote de regras não tem o campo ") + name + ".");
        }
        column.push_back(found);
    }
    if (rows.empty()) {
        refuse("DelPrecDif: nenhuma regra informada para exclusão.");
    }
    std::vector<RuleRow> keys;
    std::set<std::vector<std::string>> seen;
    for (const json& cells : rows) {
        std::vector<std::string> v;
        for (std::size_t c : column) {
            v.push_back(cellText(cells[c]));
        }
        if (v[0] != branch || v[1] != table) {
            refuse("DelPrecDif: a regra do produto " + v[3] + " não é da filial " + branch +
                   " e tabela de preço " + table + ".");
        }
        const auto period = wire::Date::fromIso(v[2]);
        const auto from = wire::Date::fromIso(v[8]);
        const auto to = wire::Date::fromIso(v[9]);
        if (!period || !from || !to || !isDay(v[4]) || v[3].empty()) {
            refuse("DelPrecDif: a regra do produto " + v[3] + " tem uma chave inválida.");
        }
        if (!seen.insert(v).second) {
            continue;  // the same key twice removes one row
        }
        RuleRow key;
        key.branch = v[0];
        key.table = v[1];
        key.periodStart = *period;
        key.product = v[3];
        key.day = v[4][0];
        key.consumerType = v[5];
        key.timeStart = v[6];
        key.timeEnd = v[7];
        key.validFrom = *from;
        key.validTo = *to;
        keys.push_back(std::move(key));
    }
    try {
        return json{{"removed", PricingQueries(call.store).removeRules(keys)}};
    } catch (const RuleNotStored& e) {
        throw wire::RpcError(wire::rpc::kRefused,
                             "A regra de " + ruleKeyText(e.key()) +
                                 " não está gravada (pode ter sido excluída por outro "
                                 "usuário); nenhuma regra foi excluída.");
    }
}

json getPrecDifHist(const MethodContext& call) {
    const std::string branch = call.params[0];
    const std::string table = call.params[1];
    const std::string product = call.params[2];
    checkPriceTable(call.store, branch, table);
    const auto [offset, limit] = page("GetPrecDifHist", call.params[3], call.params[4]);
    PricingQueries queries(call.store);
    PacketBuilder packet({{"CDFILIAL", CellType::Text, 4},      {"CDTABEPREC", CellType::Text, 3},
                          {"DTINIVGPREC", CellType::Date},      {"CDPRODUTO", CellType::Text, 10},
                          {"IDDIA", CellType::Text, 1},         {"CDTIPOCONS", CellType::Text, 2},
                          {"HRINI", CellType::Text, 4},         {"HRFIN", CellType::Text, 4},
                          {"DTINIVALID", CellType::Date},       {"DTFINVALID", CellType::Date},
                          {"IDOPERACAO", CellType::Text, 1},    {"DTOPERACAO", CellType::Text, 19},
                          {"NMUSUARIO", CellType::Text, 64},    {"NMESTACAO", CellType::Text, 64},
                          {"IDDESCACRE_ANT", CellType::Integer}, {"IDVALPERC_ANT", CellType::Integer},
                          {"VRPRECDIF_ANT", CellType::Number},  {"IDVISUALIZA_ANT", CellType::Integer},
                          {"DTULTATU_ANT", CellType::Text, 19}, {"IDDESCACRE", CellType::Integer},
                          {"IDVALPERC", CellType::Integer},     {"VRPRECDIF", CellType::Number},
                          {"IDVISUALIZA", CellType::Integer}});
    for (const HistoryRow& h : queries.history(branch, table, product, offset, limit)) {
        const RuleRow& k = h.key;
        packet.row().text(k.branch).text(k.table).date(k.periodStart.iso()).text(k.product);
        packet.text(std::string_view(&k.day, 1)).text(k.consumerType).text(k.timeStart);
        packet.text(k.timeEnd).date(k.validFrom.iso()).date(k.validTo.iso());
        packet.text(std::string_view(&h.operation, 1)).text(h.at).text(h.user).text(h.station);
        packet.integer(columnValue(k.adjustment)).integer(columnValue(k.amountKind));
        packet.number(k.amount).integer(columnValue(k.display));
        packet.text(k.updatedAt);
        if (h.after) {
            packet.integer(columnValue(h.after->adjustment));
            packet.integer(columnValue(h.after->amountKind));
            packet.number(h.after->amount).integer(columnValue(h.after->display));
        } else {
            packet.null().null().null().null();
        }
    }
    return json{{"total", queries.countHistory(branch, table, product)}, {"rows", packet.take()}};
}

}  // namespace server
