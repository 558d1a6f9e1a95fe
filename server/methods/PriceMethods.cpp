#include "server/methods/PriceMethods.h"

#include "protocol/JsonRpc.h"
#include "protocol/ValueCodec.h"
#include "server/methods/JsonText.h"
#include "server/methods/PacketBuilder.h"
#include "server/methods/RuleRowForms.h"
#include "server/pricing/Decimal4.h"
#include "server/pricing/Money.h"
#include "server/service/PriceExplanation.h"

namespace server {

namespace {

using nlohmann::json;

PriceMoment momentOf(const MethodContext& call, std::size_t typeArg, std::size_t dateArg) {
    return priceMoment(call.reads(), call.params[0], call.params[1], call.params[typeArg],
                       *wire::dateFromJson(call.params[dateArg]), call.params[dateArg + 1]);
}

// The answer of GetPrecoVigente: the explanation as JSON text, rules as their rows by
// column; the keys in the order the JSON library keeps them (sorted), so that it is byte
// for byte the dump of its JSON form.
std::string explanationJsonText(const PriceExplanation& e) {
    std::string out;
    out.reserve(512 + 512 * e.verdicts.size());
    auto optionalText = [&](const std::optional<std::string>& value) {
        if (value) {
            appendJsonString(out, *value);
        } else {
            out += "null";
        }
    };
    out += R"({"abaixo_de_zero":)";
    out += e.price.belowZero ? "true" : "false";
    out += R"(,"aplicada":)";
    if (e.applied) {
        appendRuleRowJson(out, *e.applied);
    } else {
        out += "null";
    }
    out += R"(,"base":)";
    appendJsonNumber(out, e.product.base ? std::optional(centsToDouble(
                                               Decimal4::fromDouble(*e.product.base).roundedCents()))
                                         : std::nullopt);
    const DayFacts& day = e.at.moment.day;
    out += R"(,"dia":{"feriado":)";
    optionalText(day.holiday);
    out += R"(,"semana":)";
    out += std::to_string(day.weekday);
    out += R"(,"vespera":)";
    optionalText(day.eve);
    out += R"(},"periodo":)";
    if (const auto& period = e.at.period) {
        out += R"({"DTFINVGPREC":)";
        appendJsonDate(out, period->end);
        out += R"(,"DTINIVGPREC":)";
        appendJsonDate(out, period->start);
        out += '}';
    } else {
        out += "null";
    }
    out += R"(,"preco":)";
    appendJsonNumber(out, e.price.cents ? std::optional(centsToDouble(*e.price.cents))
                                        : std::nullopt);
    out += R"(,"regras":[)";
    for (const Verdict& v : e.verdicts) {
        out += &v == e.verdicts.data() ? R"({"linha":)" : R"(,{"linha":)";
        appendRuleRowJson(out, *v.row);
        out += R"(,"motivo":)";
        if (v.out) {
            appendJsonString(out, reasonText(*v.out));
        } else if (v.passedOver) {
            appendJsonString(out, precedenceText(*v.passedOver));
        } else {
            out += "null";
        }
        out += R"(,"situacao":)";
        appendJsonString(out, situationText(v.situation));
        out += '}';
    }
    out += "]}";
    return out;
}

}  // namespace

std::string getPrecoVigenteText(const MethodContext& call) {
    const PriceMoment at = momentOf(call, 3, 4);
    return explanationJsonText(explainPrice(call.reads(), at, call.params[2]));
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

std::string getFeriadoText(const MethodContext& call) {
    const std::string branch = call.params[0];
    const long long year = call.params[1];
    if (year < 1 || year > 9999) {
        throw wire::RpcError(wire::rpc::kInvalidParams,
                             "GetFeriado: o ano " + std::to_string(year) + " não é válido.");
    }
    DataReads reads = call.reads();
    if (branch != "T" && reads.branches(branch).empty()) {
        throw wire::RpcError(wire::rpc::kInvalidParams, "Filial " + branch + " não cadastrada.");
    }
    const int y = static_cast<int>(year);
    PacketBuilder packet({{"CDFILIAL", CellType::Text, 4}, {"DTFERIADO", CellType::Date},
                          {"NMFERIADO", CellType::Text, 60}});
    for (const Holiday& h : reads.holidays(branch, wire::Date{y, 1, 1}, wire::Date{y, 12, 31})) {
        packet.row().text(h.branch).date(h.date.iso()).text(h.name);
    }
    return packet.takeText();
}

}  // namespace server
