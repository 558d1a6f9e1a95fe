#include "PriceService.h"

#include <stdexcept>

#include "AsciiLower.h"
#include "RuleChecker.h"
#include "StoreCallError.h"
#include "RuleRequest.h"
#include "TransientFailure.h"
#include "protocol/DatePattern.h"
#include "protocol/JsonRpc.h"
#include "protocol/ValueCodec.h"

namespace server {

namespace {

using nlohmann::json;


void expectCount(const std::string& method, const json& params, std::size_t count) {
    if (params.size() != count) {
        throw wire::RpcError(wire::rpc::kInvalidParams,
                             method + " espera " + std::to_string(count) +
                                 " argumento" + (count == 1 ? "" : "s") + "; recebeu " +
                                 std::to_string(params.size()) + ".");
    }
}

std::string textArg(const std::string& method, const json& params, std::size_t i) {
    if (!params[i].is_string()) {
        throw wire::RpcError(wire::rpc::kInvalidParams, method + ": o argumento " +
                                                            std::to_string(i + 1) +
                                                            " deve ser texto.");
    }
    return params[i].get<std::string>();
}

wire::FieldDesc field(const char* name, int size) {
    return wire::FieldDesc{name, "string", size};
}

}  // namespace

PriceService::PriceService(std::unique_ptr<RuleStore> store) : store_(std::move(store)) {}

bool PriceService::hasMethod(const std::string& method) {
    const std::string m = asciiLower(method);
    return m == "getfilial" || m == "gettabeprec" || m == "getvigencia" || m == "setprecdif";
}

json PriceService::call(const std::string& method, const json& params,
                        Clock::time_point deadline) {
    std::unique_lock lock(mutex_, std::defer_lock);
    if (!lock.try_lock_until(deadline)) {
        // The call before this one still waits for the database.
        throw StoreCallError(StoreFailure::Timeout, method,
                             StoreError(StoreFailure::Timeout,
                                        "Chamada anterior ainda aguarda o banco de dados"));
    }
    store_->setDeadline(deadline);
    for (int attempt = 1;; ++attempt) {
        try {
            return run(method, params);
        } catch (const TransientStoreError& e) {
            throw TransientCallError(method, e);  // rolled back whole: may be tried again
        } catch (const StoreError& e) {
            // A connection the database closed under us (it restarted) is opened again
            // by the next statement; the call is made once more when nothing of it can
            // have taken effect: every lookup, and a store that never reached COMMIT.
            if (e.kind() == StoreFailure::Lost && !e.duringCommit() && attempt == 1) {
                continue;
            }
            throw StoreCallError(e.kind(), method, e);
        }
    }
}

json PriceService::run(const std::string& method, const json& params) {
    const std::string m = asciiLower(method);
    if (m == "getfilial") {
        return getFilial(params);
    }
    if (m == "gettabeprec") {
        return getTabePrec(params);
    }
    if (m == "getvigencia") {
        return getVigencia(params);
    }
    if (m == "setprecdif") {
        return setPrecDif(params);
    }
    throw wire::RpcError(wire::rpc::kMethodNotFound, "Método desconhecido: " + method + ".");
}

long PriceService::countRules() {
    std::lock_guard lock(mutex_);
    store_->setDeadline(Clock::time_point::max());
    return store_->countRules();
}

void PriceService::interrupt() {
    store_->interrupt();
}

json PriceService::getFilial(const json& params) {
    expectCount("GetFilial", params, 2);
    const std::string code = textArg("GetFilial", params, 0);
    const std::string all = textArg("GetFilial", params, 1);
    wire::DataPacket packet;
    packet.fields = {field("CDFILIAL", 4),     field("NMFILIAL", 30),   field("CDSEGMER", 5),
                     field("SEGMENTO", 48),    field("IDPRECDIFCOM", 1), field("CDGRPRODPDV", 10),
                     field("GRUPOPROD", 53),   field("IDUTMODPRODFIL", 1)};
    for (const demo::Branch& b : store_->branches(all == "T" ? std::nullopt
                                                             : std::optional(code))) {
        packet.rows.push_back({b.code, b.name, b.segmentCode, b.segment, b.differentiatedPrices,
                               b.posGroupCode, b.posGroup, b.usesProductModule});
    }
    return wire::toJson(packet);
}

json PriceService::getTabePrec(const json& params) {
    expectCount("GetTabePrec", params, 1);
    const std::string branch = textArg("GetTabePrec", params, 0);
    wire::DataPacket packet;
    packet.fields = {field("CDFILIAL", 4), field("CDTABEPREC", 3), field("NMTABEPREC", 20)};
    for (const demo::PriceTable& t : store_->priceTables(branch)) {
        packet.rows.push_back({t.branch, t.code, t.name});
    }
    return wire::toJson(packet);
}

json PriceService::getVigencia(const json& params) {
    expectCount("getVigencia", params, 5);
    const std::string branch = textArg("getVigencia", params, 0);
    const std::string table = textArg("getVigencia", params, 1);
    const std::string all = textArg("getVigencia", params, 3);
    const std::string patternText = textArg("getVigencia", params, 4);
    // The start date comes as a date, or as the integer 0 when every period is asked for;
    // an integer is read as a day number of the OLE scale (0 is 1899-12-30).
    std::optional<wire::Date> start;
    if (auto date = wire::dateFromJson(params[2])) {
        start = *date;
    } else if (params[2].is_number_integer()) {
        const long long days = params[2].get<long long>();
        if (days < -693593 || days > 2958465) {  // 0001-01-01 .. 9999-12-31
            throw wire::RpcError(wire::rpc::kInvalidParams,
                                 "getVigencia: o argumento 3 está fora das datas possíveis.");
        }
        start = wire::Date::fromDaysSinceEpoch(wire::Date{}.daysSinceEpoch() +
                                               static_cast<long>(days));
    } else {
        throw wire::RpcError(wire::rpc::kInvalidParams,
                             "getVigencia: o argumento 3 deve ser uma data ou um inteiro.");
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
    for (const demo::ValidityPeriod& p :
         store_->periods(branch, table, all == "T" ? std::nullopt : start)) {
        const auto from = wire::Date::fromIso(p.start);
        const auto to = wire::Date::fromIso(p.end);
        if (!from || !to) {
            throw StoreError(StoreFailure::Other, "Vigência com data inválida no banco de dados.");
        }
        packet.rows.push_back({pattern->format(*from), pattern->format(*to)});
    }
    return wire::toJson(packet);
}

json PriceService::setPrecDif(const json& params) {
    const RuleRequest request = parseRuleRequest(params);
    // The rows go to the store in compact form and are made one by one as they are
    // written: a rule over a whole assortment is never held as a million row objects.
    const RuleRows rows = checkRuleRows(request, loadRuleContext(*store_, request));
    const UpsertCounts counts = store_->upsertRule(rows);
    return json{{"stored", counts.stored}, {"replaced", counts.replaced}};
}

}  // namespace server
