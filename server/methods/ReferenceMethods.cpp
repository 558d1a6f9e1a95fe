#include "server/methods/ReferenceMethods.h"

#include <stdexcept>

#include "protocol/DatePattern.h"
#include "protocol/JsonRpc.h"
#include "protocol/ValueCodec.h"
#include "server/methods/PacketBuilder.h"

namespace server {

namespace {

using nlohmann::json;

PacketField field(std::string_view name, int size) {
    return {name, CellType::Text, size};
}

}  // namespace

std::string getFilialText(const MethodContext& call) {
    const std::string& code = call.params[0].get_ref<const std::string&>();
    const std::string& all = call.params[1].get_ref<const std::string&>();
    PacketBuilder packet({field("CDFILIAL", 4), field("NMFILIAL", 30), field("CDSEGMER", 5),
                          field("SEGMENTO", 48), field("IDPRECDIFCOM", 1),
                          field("CDGRPRODPDV", 10), field("GRUPOPROD", 53),
                          field("IDUTMODPRODFIL", 1)});
    for (const Branch& b :
         call.reads().branches(all == "T" ? std::nullopt : std::optional(code))) {
        packet.row().text(b.code).text(b.name).text(b.segmentCode).text(b.segment);
        packet.text(b.differentiatedPrices).text(b.posGroupCode).text(b.posGroup);
        packet.text(b.usesProductModule);
    }
    return packet.takeText();
}

std::string getTabePrecText(const MethodContext& call) {
    const std::string& branch = call.params[0].get_ref<const std::string&>();
    PacketBuilder packet({field("CDFILIAL", 4), field("CDTABEPREC", 3), field("NMTABEPREC", 20)});
    for (const PriceTable& t : call.reads().priceTables(branch)) {
        packet.row().text(t.branch).text(t.code).text(t.name);
    }
    return packet.takeText();
}

std::string getVigenciaText(const MethodContext& call) {
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
    PacketBuilder packet({field("DTINIVGPREC", 30), field("DTFINVGPREC", 30)});
    for (const ValidityPeriod& p :
         call.reads().periods(branch, table, all == "T" ? std::nullopt : start)) {
        const auto from = wire::Date::fromIso(p.start);
        const auto to = wire::Date::fromIso(p.end);
        if (!from || !to) {
            throw StoreError(StoreFailure::Other, "Vigência com data inválida no banco de dados.");
        }
        packet.row().text(pattern->format(*from)).text(pattern->format(*to));
    }
    return packet.takeText();
}

}  // namespace server
