#include "RuleRequest.h"

#include <cmath>

#include "protocol/JsonRpc.h"
#include "protocol/ValueCodec.h"

namespace server {

namespace {

using nlohmann::json;

// Names used in messages, so that a refused call says which argument was wrong.
constexpr std::array<const char*, kRuleArguments> kArgumentNames = {
    "todos os dias", "véspera de feriado", "feriado", "domingo", "segunda", "terça", "quarta",
    "quinta", "sexta", "sábado", "modo lista", "modo todos", "modo intervalo",
    "desconto/acréscimo", "valor/percentual", "filial", "tabela de preço", "produto final",
    "produto inicial", "horário inicial", "horário final", "validade inicial",
    "validade final", "início da vigência", "valor", "produtos marcados",
    "pacote de produtos", "tipo de consumidor", "visualiza"};

[[noreturn]] void wrongType(std::size_t index, const char* expected) {
    throw wire::RpcError(wire::rpc::kInvalidParams,
                         "SetPrecDif: o argumento " + std::to_string(index + 1) + " (" +
                             kArgumentNames[index] + ") deve ser " + expected + ".");
}

class Reader {
public:
    explicit Reader(const json& params) : params_(params) {}

    bool boolean(std::size_t i) const {
        if (!params_[i].is_boolean()) {
            wrongType(i, "lógico (true/false)");
        }
        return params_[i].get<bool>();
    }
    long long integer(std::size_t i) const {
        if (!params_[i].is_number_integer()) {
            wrongType(i, "inteiro");
        }
        return params_[i].get<long long>();
    }
    std::string text(std::size_t i) const {
        if (!params_[i].is_string()) {
            wrongType(i, "texto");
        }
        return params_[i].get<std::string>();
    }
    wire::Date date(std::size_t i) const {
        auto d = wire::dateFromJson(params_[i]);
        if (!d) {
            wrongType(i, "uma data {\"$date\":\"AAAA-MM-DD\"} existente");
        }
        return *d;
    }
    double number(std::size_t i) const {
        if (!params_[i].is_number()) {
            wrongType(i, "numérico");
        }
        const double value = params_[i].get<double>();
        if (!std::isfinite(value)) {
            wrongType(i, "um número finito");
        }
        return value;
    }
    std::optional<wire::DataPacket> packet(std::size_t i) const {
        if (params_[i].is_null()) {
            return std::nullopt;
        }
        if (!wire::isPacketJson(params_[i])) {
            wrongType(i, "um pacote de dados ou nulo");
        }
        try {
            return wire::packetFromJson(params_[i]);
        } catch (const wire::CodecError& e) {
            wrongType(i, (std::string("um pacote de dados válido (") + e.what() + ")").c_str());
        }
    }

private:
    const json& params_;
};

}  // namespace

RuleRequest parseRuleRequest(const json& params) {
    if (!params.is_array() || params.size() != kRuleArguments) {
        const std::size_t got = params.is_array() ? params.size() : 0;
        throw wire::RpcError(wire::rpc::kInvalidParams,
                             "SetPrecDif espera " + std::to_string(kRuleArguments) +
                                 " argumentos; recebeu " + std::to_string(got) + ".");
    }
    const Reader in(params);
    RuleRequest r;
    r.everyDay = in.boolean(0);
    r.holidayEve = in.boolean(1);
    r.holiday = in.boolean(2);
    for (std::size_t d = 0; d < 7; ++d) {
        r.weekdays[d] = in.boolean(3 + d);
    }
    r.listMode = in.boolean(10);
    r.allMode = in.boolean(11);
    r.rangeMode = in.boolean(12);
    r.surcharge = in.integer(13);
    r.percentage = in.integer(14);
    r.branch = in.text(15);
    r.table = in.text(16);
    r.rangeEnd = in.text(17);
    r.rangeStart = in.text(18);
    r.timeStart = in.text(19);
    r.timeEnd = in.text(20);
    r.validFrom = in.date(21);
    r.validTo = in.date(22);
    r.periodStart = in.date(23);
    r.amount = in.number(24);
    r.pickedCodes = in.text(25);
    r.products = in.packet(26);
    r.consumerType = in.text(27);
    r.display = in.integer(28);
    return r;
}

}  // namespace server
