#include "Methods.h"

#include <array>
#include <cmath>
#include <string>

#include "JsonRpc.h"
#include "ValueCodec.h"

namespace wire {

namespace {

using nlohmann::json;

constexpr ArgDescription text(std::string_view name) { return {name, ArgType::Text}; }
constexpr ArgDescription boolean(std::string_view name) { return {name, ArgType::Boolean}; }
constexpr ArgDescription integer(std::string_view name) { return {name, ArgType::Integer}; }
constexpr ArgDescription date(std::string_view name) { return {name, ArgType::Date}; }
constexpr ArgDescription dateOrNull(std::string_view name) { return {name, ArgType::Date, true}; }

// SetPrecDif's and SimPrecDif's 29 arguments, in the screen's order. Argument 26 is
// always empty from the screen and never read, so its length is not bounded.
constexpr std::array kRuleArgs = {
    boolean("todos os dias"), boolean("véspera de feriado"), boolean("feriado"),
    boolean("domingo"), boolean("segunda"), boolean("terça"), boolean("quarta"),
    boolean("quinta"), boolean("sexta"), boolean("sábado"), boolean("modo lista"),
    boolean("modo todos"), boolean("modo intervalo"), integer("desconto/acréscimo"),
    integer("valor/percentual"), text("filial"), text("tabela de preço"),
    text("produto final"), text("produto inicial"), text("horário inicial"),
    text("horário final"), date("validade inicial"), date("validade final"),
    date("início da vigência"),
    ArgDescription{"valor", ArgType::Number, false, kMaxArgumentText, kMaxRuleAmount},
    ArgDescription{"produtos marcados", ArgType::Text, false, 0},
    ArgDescription{"pacote de produtos", ArgType::Packet, true}, text("tipo de consumidor"),
    integer("visualiza")};

constexpr std::array kGetFilialArgs = {text("filial"), text("todas")};
constexpr std::array kGetTabePrecArgs = {text("filial")};
constexpr std::array kGetVigenciaArgs = {text("filial"), text("tabela de preço"),
                                         ArgDescription{"início da vigência", ArgType::DateOrDay},
                                         text("todas"), text("formato de data")};
constexpr std::array kGetPrecoVigenteArgs = {text("filial"), text("tabela de preço"),
                                             text("produto"), text("tipo de consumidor"),
                                             date("data"), text("hora")};
constexpr std::array kGetPrecosVigentesArgs = {text("filial"), text("tabela de preço"),
                                               text("tipo de consumidor"), date("data"),
                                               text("hora")};
constexpr std::array kGetPrecDifArgs = {
    text("filial"),        text("tabela de preço"),    dateOrNull("início da vigência"),
    text("produto inicial"), text("produto final"),    text("tipo de consumidor"),
    text("dia"),           dateOrNull("válida em"),     integer("início"),
    integer("quantidade")};
constexpr std::array kDelPrecDifArgs = {text("filial"), text("tabela de preço"),
                                        ArgDescription{"regras", ArgType::Packet}};
constexpr std::array kGetPrecDifHistArgs = {text("filial"), text("tabela de preço"),
                                            text("produto"), integer("início"),
                                            integer("quantidade")};
constexpr std::array kGetFeriadoArgs = {text("filial"), integer("ano")};
constexpr std::array kGetAlteracoesArgs = {text("filial"), text("tabela de preço"),
                                           integer("desde"), integer("quantidade"),
                                           integer("espera")};
constexpr std::array kGetDadosPrecoArgs = {text("filial"), text("tabela de preço"),
                                           text("produto inicial"), text("produto final"),
                                           integer("quantidade")};

constexpr std::array kMethods = {
    MethodDescription{MethodId::SetPrecDif, "SetPrecDif", kRuleArgs, true},
    MethodDescription{MethodId::SimPrecDif, "SimPrecDif", kRuleArgs, false},
    MethodDescription{MethodId::GetFilial, "GetFilial", kGetFilialArgs},
    MethodDescription{MethodId::GetTabePrec, "GetTabePrec", kGetTabePrecArgs},
    MethodDescription{MethodId::GetVigencia, "getVigencia", kGetVigenciaArgs},
    MethodDescription{MethodId::GetPrecoVigente, "GetPrecoVigente", kGetPrecoVigenteArgs},
    MethodDescription{MethodId::GetPrecosVigentes, "GetPrecosVigentes", kGetPrecosVigentesArgs},
    MethodDescription{MethodId::GetPrecDif, "GetPrecDif", kGetPrecDifArgs},
    MethodDescription{MethodId::DelPrecDif, "DelPrecDif", kDelPrecDifArgs, true},
    MethodDescription{MethodId::GetPrecDifHist, "GetPrecDifHist", kGetPrecDifHistArgs},
    MethodDescription{MethodId::GetFeriado, "GetFeriado", kGetFeriadoArgs},
    MethodDescription{MethodId::GetAlteracoes, "GetAlteracoes", kGetAlteracoesArgs, false, true},
    MethodDescription{MethodId::GetDadosPreco, "GetDadosPreco", kGetDadosPrecoArgs},
};
static_assert(kMethods.size() == kMethodCount);
static_assert(
    [] {
        for (std::size_t i = 0; i < kMethods.size(); ++i) {
            if (indexOf(kMethods[i].id) != i) {
                return false;
            }
        }
        return true;
    }(),
    "each method at the place its id names");

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

const char* expected(const ArgDescription& arg) {
    switch (arg.type) {
        case ArgType::Boolean: return "lógico (true/false)";
        case ArgType::Integer: return "inteiro";
        case ArgType::Number: return "numérico";
        case ArgType::Text: return "texto";
        case ArgType::Date:
            return arg.nullable ? "uma data {\"$date\":\"AAAA-MM-DD\"} existente ou nulo"
                                : "uma data {\"$date\":\"AAAA-MM-DD\"} existente";
        case ArgType::DateOrDay: return "uma data ou um inteiro";
        case ArgType::Packet: return arg.nullable ? "um pacote de dados ou nulo" : "um pacote de dados";
    }
    return "";
}

class Checker {
public:
    explicit Checker(const MethodDescription& method) : method_(method) {}

    [[noreturn]] void refuse(std::size_t i, const std::string& why) const {
        throw RpcError(rpc::kInvalidParams, std::string(method_.name) + ": o argumento " +
                                                std::to_string(i + 1) + " (" +
                                                std::string(method_.args[i].name) + ") " + why +
                                                ".");
    }

    void check(std::size_t i, const json& value) const {
        const ArgDescription& arg = method_.args[i];
        if (arg.nullable && value.is_null()) {
            return;
        }
        if (!hasForm(arg, value)) {
            refuse(i, std::string("deve ser ") + expected(arg));
        }
        if (arg.type == ArgType::Text && arg.maxText != 0 &&
            value.get_ref<const std::string&>().size() > arg.maxText) {
            refuse(i, "passa de " + std::to_string(arg.maxText) + " caracteres");
        }
        if (arg.type == ArgType::Number && arg.maxMagnitude != 0 &&
            std::fabs(value.get<double>()) >= arg.maxMagnitude) {
            refuse(i, "está fora do limite de valores (menor que 1.000.000.000)");
        }
        if (arg.type == ArgType::Packet) {
            checkPacket(i, value.at("$packet"));
        }
    }

private:
    static bool hasForm(const ArgDescription& arg, const json& value) {
        switch (arg.type) {
            case ArgType::Boolean: return value.is_boolean();
            case ArgType::Integer: return value.is_number_integer();
            case ArgType::Number: return value.is_number() && std::isfinite(value.get<double>());
            case ArgType::Text: return value.is_string();
            case ArgType::Date: return dateFromJson(value).has_value();
            case ArgType::DateOrDay:
                return dateFromJson(value).has_value() || value.is_number_integer();
            case ArgType::Packet:
                // A packet argument carries its rows, if none: checkPacket and the methods
                // read them.
                return !packetError(value) && value.find("$packet")->contains("rows");
        }
        return false;
    }

    // packet is well formed (hasForm): fields and rows are there, every row as wide as
    // the fields.
    void checkPacket(std::size_t i, const json& packet) const {
        const std::string tooLong =
            "tem um texto de mais de " + std::to_string(kMaxArgumentText) + " caracteres";
        const json& fields = packet.at("fields");
        if (fields.size() > kMaxPacketFields) {
            refuse(i, "tem mais de " + std::to_string(kMaxPacketFields) + " campos");
        }
        auto longText = [](const json& v) {
            return v.is_string() && v.get_ref<const std::string&>().size() > kMaxArgumentText;
        };
        for (const json& field : fields) {
            if (longText(field.at("name"))) {
                refuse(i, tooLong);
            }
        }
        for (const json& row : packet.at("rows")) {
            for (const json& cell : row) {
                if (longText(cell)) {
                    refuse(i, tooLong);
                }
            }
        }
    }

    const MethodDescription& method_;
};

}  // namespace

std::span<const MethodDescription> methods() { return kMethods; }

const MethodDescription* findMethod(std::string_view name) {
    for (const MethodDescription& m : kMethods) {
        if (sameName(m.name, name)) {
            return &m;
        }
    }
    return nullptr;
}

void checkParams(const MethodDescription& method, const json& params) {
    const std::size_t count = method.args.size();
    if (!params.is_array() || params.size() != count) {
        const std::size_t got = params.is_array() ? params.size() : 0;
        throw RpcError(rpc::kInvalidParams, std::string(method.name) + " espera " +
                                                std::to_string(count) + " argumento" +
                                                (count == 1 ? "" : "s") + "; recebeu " +
                                                std::to_string(got) + ".");
    }
    const Checker checker(method);
    for (std::size_t i = 0; i < count; ++i) {
        checker.check(i, params[i]);
    }
}

}  // namespace wire
