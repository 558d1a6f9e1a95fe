#include "server/methods/TillMethods.h"

#include <limits>

#include "protocol/JsonRpc.h"
#include "server/methods/PacketBuilder.h"
#include "server/methods/RuleRowForms.h"
#include "server/service/NothingNewYet.h"
#include "server/service/PriceExplanation.h"
#include "server/store/ChangeLogQueries.h"
#include "server/store/PricingQueries.h"
#include "server/store/TillQueries.h"

namespace server {

namespace {

using nlohmann::json;

// An integer argument within [low, high], else refused with the method's message.
long long within(const json& value, long long low, long long high, const std::string& message) {
    const long long n = value;
    if (n < low || n > high) {
        throw wire::RpcError(wire::rpc::kInvalidParams, message);
    }
    return n;
}

constexpr long long kMostRows = 10000;
constexpr long long kLongestWait = 60000;

}  // namespace

json getAlteracoes(const MethodContext& call) {
    const json& p = call.params;
    const std::string branch = p[0];
    const std::string table = p[1];
    const long long since = within(p[2], 0, std::numeric_limits<long long>::max(),
                                   "GetAlteracoes: o número inicial (desde) deve ser zero ou mais.");
    const long limit = static_cast<long>(
        within(p[3], 1, kMostRows, "GetAlteracoes: a quantidade deve estar entre 1 e 10.000."));
    within(p[4], 0, kLongestWait,
           "GetAlteracoes: a espera deve estar entre 0 e 60.000 milissegundos.");
    checkPriceTable(call.store, branch, table);
    ChangeLogQueries log(call.store);
    const ChangeSpan span = log.span();
    // Below the oldest row kept the till has missed what was removed; above the highest
    // the database is not the one it followed.
    const bool resync = since > span.highest || (span.oldest > 0 && since < span.oldest - 1);
    const std::vector<LoggedChange> changes =
        resync ? std::vector<LoggedChange>{} : log.changesFor(branch, table, since, limit);
    // Cut by the limit, the answer is whole up to its last row only.
    const long long upTo = static_cast<long>(changes.size()) == limit ? changes.back().number
                                                                       : span.highest;
    if (changes.empty() && !resync && call.mayWait) {
        throw NothingNewYet(branch, upTo);
    }
    PacketBuilder packet({{"NRALTERACAO", CellType::Integer},
                          {"IDALTERACAO", CellType::Text, 1},
                          {"DTINIVGPREC", CellType::Date},
                          {"CDPRODUTO", CellType::Text, 10}});
    for (const LoggedChange& c : changes) {
        packet.row().integer(c.number).text(std::string_view(&c.kind, 1));
        c.periodStart ? packet.date(*c.periodStart) : packet.null();
        c.product ? packet.text(*c.product) : packet.null();
    }
    return json{{"ate", upTo}, {"ressincronizar", resync}, {"alteracoes", packet.take()}};
}

json getDadosPreco(const MethodContext& call) {
    const json& p = call.params;
    const std::string branch = p[0];
    const std::string table = p[1];
    ProductRange range{p[2], p[3]};
    const long limit = static_cast<long>(
        within(p[4], 1, kMostRows, "GetDadosPreco: a quantidade deve estar entre 1 e 10.000."));
    checkPriceTable(call.store, branch, table);
    // Every read below is of the one snapshot the call's read transaction took.
    const long long upTo = ChangeLogQueries(call.store).span().highest;
    TillQueries till(call.store);
    std::vector<Product> products = till.products(branch, range, limit + 1);
    json next = nullptr;
    if (static_cast<long>(products.size()) > limit) {
        next = products.back().code;
        products.pop_back();
        range.last = products.back().code;
    }
    PacketBuilder produtos({{"CDPRODUTO", CellType::Text, 10},
                            {"CDARVPROD", CellType::Text, 20},
                            {"NMPRODUTO", CellType::Text, 50}});
    for (const Product& product : products) {
        produtos.row().text(product.code).text(product.treeCode).text(product.name);
    }
    PacketBuilder precos({{"DTINIVGPREC", CellType::Date},
                          {"CDPRODUTO", CellType::Text, 10},
                          {"VRPRECO", CellType::Number}});
    PacketBuilder regras(ruleFields());
    if (!products.empty()) {
        till.basePrices(branch, table, range,
                        [&](std::string_view start, std::string_view product, double price) {
                            precos.row().date(start).text(product).number(price);
                        });
        till.rules(branch, table, range, [&](const RuleRow& row) {
            regras.row();
            appendRuleCells(regras, row);
        });
    }
    PacketBuilder vigencias({{"DTINIVGPREC", CellType::Date}, {"DTFINVGPREC", CellType::Date}});
    for (const ValidityPeriod& period : call.store.periods(branch, table, std::nullopt)) {
        vigencias.row().date(period.start).date(period.end);
    }
    PacketBuilder feriados({{"CDFILIAL", CellType::Text, 4},
                            {"DTFERIADO", CellType::Date},
                            {"NMFERIADO", CellType::Text, 60}});
    for (const Holiday& h : PricingQueries(call.store)
                                .holidays(branch, wire::Date{1, 1, 1}, wire::Date{9999, 12, 31})) {
        feriados.row().text(h.branch).date(h.date.iso()).text(h.name);
    }
    PacketBuilder tipos({{"CDTIPOCONS", CellType::Text, 2}, {"NMTIPOCONS", CellType::Text, 30}});
    for (const ConsumerType& type : till.consumerTypes()) {
        tipos.row().text(type.code).text(type.name);
    }
    return json{{"ate", upTo},          {"proximo", std::move(next)},
                {"produtos", produtos.take()}, {"precos", precos.take()},
                {"regras", regras.take()},     {"vigencias", vigencias.take()},
                {"feriados", feriados.take()}, {"tipos", tipos.take()}};
}

}  // namespace server
