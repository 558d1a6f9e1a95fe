#include "server/methods/PriceMethods.h"

#include "server/methods/PacketBuilder.h"
#include "server/service/PriceExplanation.h"
#include "server/pricing/Decimal4.h"
#include "server/pricing/Money.h"
#include "protocol/JsonRpc.h"
#include "protocol/ValueCodec.h"

namespace server {

namespace {

using nlohmann::json;

PriceMoment momentOf(const MethodContext& call, std::size_t typeArg, std::size_t dateArg) {
    return priceMoment(call.store, call.params[0], call.params[1], call.params[typeArg],
                       *wire::dateFromJson(call.params[dateArg]), call.params[dateArg + 1]);
}

}  // namespace

json getPrecoVigente(const MethodContext& call) {
    const PriceMoment at = momentOf(call, 3, 4);
    return explanationJson(explainPrice(call.store, at, call.params[2]));
}

std::string getPrecosVigentesText(const MethodContext& call) {
    const PriceMoment at = momentOf(call, 2, 3);
    PacketBuilder packet({{"CDPRODUTO", CellType::Text, 10}, {"CDARVPROD", CellType::Text, 20},
                          {"NMPRODUTO", CellType::Text, 50}, {"VRPRECO", CellType::Number},
                          {"VRPRECOVIG", CellType::Number}, {"IDDIA", CellType::Text, 1},
                          {"CDTIPOCONS", CellType::Text, 2}, {"HRINI", CellType::Text, 4},
                          {"HRFIN", CellType::Text, 4}, {"DTINIVALID", CellType::Date},
                          {"DTFINVALID", CellType::Date}, {"IDDESCACRE", CellType::Integer},
                          {"IDVALPERC", CellType::Integer}, {"VRPRECDIF", CellType::Number},
                          {"IDVISUALIZA", CellType::Integer}});
    forEachPrice(call.store, at,
                 [&](const PricedProduct& product, const RuleRow* applied, const PriceResult& price) {
                     packet.row().text(product.code).text(product.treeCode).text(product.name);
                     if (product.base) {
                         packet.number(
                             centsToDouble(Decimal4::fromDouble(*product.base).roundedCents()));
                     } else {
                         packet.null();
                     }
                     if (price.cents) {
                         packet.number(centsToDouble(*price.cents));
                     } else {
                         packet.null();
                     }
                     if (applied == nullptr) {
                         for (int i = 0; i < 10; ++i) {
                             packet.null();
                         }
                         return;
                     }
                     const RuleRow& r = *applied;
                     packet.text(std::string_view(&r.day, 1)).text(r.consumerType);
                     packet.text(r.timeStart).text(r.timeEnd);
                     packet.date(r.validFrom.iso()).date(r.validTo.iso());
                     packet.integer(columnValue(r.adjustment))
                         .integer(columnValue(r.amountKind))
                         .number(r.amount);
                     packet.integer(columnValue(r.display));
                 });
    return packet.takeText();
}

json getPrecosVigentes(const MethodContext& call) {
    return json::parse(getPrecosVigentesText(call));
}

json getFeriado(const MethodContext& call) {
    const std::string branch = call.params[0];
    const long long year = call.params[1];
    if (year < 1 || year > 9999) {
        throw wire::RpcError(wire::rpc::kInvalidParams,
                             "GetFeriado: o ano " + std::to_string(year) + " não é válido.");
    }
    if (branch != "T" && call.store.branches(branch).empty()) {
        throw wire::RpcError(wire::rpc::kInvalidParams, "Filial " + branch + " não cadastrada.");
    }
    const int y = static_cast<int>(year);
    PacketBuilder packet({{"CDFILIAL", CellType::Text, 4}, {"DTFERIADO", CellType::Date},
                          {"NMFERIADO", CellType::Text, 60}});
    for (const Holiday& h : PricingQueries(call.store)
                                .holidays(branch, wire::Date{y, 1, 1}, wire::Date{y, 12, 31})) {
        packet.row().text(h.branch).date(h.date.iso()).text(h.name);
    }
    return packet.take();
}

}  // namespace server
