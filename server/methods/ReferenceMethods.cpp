#include "server/methods/ReferenceMethods.h"

#include <stdexcept>

#include "protocol/DatePattern.h"
#include "protocol/JsonRpc.h"
#include "protocol/ValueCodec.h"

namespace server {

namespace {

using nlohmann::json;

wire::FieldDesc field(const char* name, int size) {
    return wire::FieldDesc{name, "string", size};
}

}  // namespace

json getFilial(const MethodContext& call) {
    const std::string code = call.params[0];
    const std::string all = call.params[1];
    wire::DataPacket packet;
    packet.fields = {field("CDFILIAL", 4),     field("NMFILIAL", 30),   field("CDSEGMER", 5),
                     field("SEGMENTO", 48),    field("IDPRECDIFCOM", 1), field("CDGRPRODPDV", 10),
                     field("GRUPOPROD", 53),   field("IDUTMODPRODFIL", 1)};
    for (const Branch& b : call.store.branches(all == "T" ? std::nullopt
                                                             : std::optional(code))) {
        packet.rows.push_back({b.code, b.name, b.segmentCode, b.segment, b.differentiatedPrices,
                               b.posGroupCode, b.posGroup, b.usesProductModule});
    }
    return wire::toJson(packet);
}

json getTabePrec(const MethodContext& call) {
    const std::string branch = call.params[0];
    wire::DataPacket packet;
    packet.fields = {field("CDFILIAL", 4), field("CDTABEPREC", 3), field("NMTABEPREC", 20)};
    for (const PriceTable& t : call.store.priceTables(branch)) {
        packet.rows.push_back({t.branch, t.code, t.name});
    }
    return wire::toJson(packet);
}

json getVigencia(const MethodContext& call) {
    const json& params = call.params;
    const std::string branch = params[0];
    const std::string table = params[1];
    const std::string all = params[3];
    const std::string patternText = params[4];
    // The start date comes as a date, or as the integer 0 when every period is asked for;
    // an integer is read as a day number of the OLE scale (0 is 1899-12-30).
    std::optional<wire::Date> start;
    if (auto date = wire::dateFromJson(params[2])) {
        start = *date;
    } else {
        const long long days = params[2].get<long long>();
        if (days < -693593 || days > 2958465) {  // 0001-01-01 .. 9999-12-31
            throw wire::RpcError(wire::rpc::kInvalidParams,
                                 "getVigencia: o argumento 3 está fora das datas possíveis.");
        }
        start = wire::Date::fromDaysSinceEpoch(wire::Date{}.daysSinceEpoch() +
                                               static_cast<long>(days));
    }
    std::optional<wire::DatePattern> pattern;
    try {
        pattern.emplace(patternText);
    } catch (const std::invalid_argument&) {
        throw wire::RpcError(wire::rpc::kInvalidParams,
                             "getVigencia: formato de data inválido: \"" + patternText + "\".");
    }
    wire::DataPacket packet;
    packet.fields = {field("DTINIVGPREC", 30), field("DTFINVGPREC", 30)};
    for (const ValidityPeriod& p :
         call.store.periods(branch, table, all == "T" ? std::nullopt : start)) {
        const auto from = wire::Date::fromIso(p.start);
        const auto to = wire::Date::fromIso(p.end);
        if (!from || !to) {
            throw StoreError(StoreFailure::Other, "Vigência com data inválida no banco de dados.");
        }
        packet.rows.push_back({pattern->format(*from), pattern->format(*to)});
    }
    return wire::toJson(packet);
}

}  // namespace server
