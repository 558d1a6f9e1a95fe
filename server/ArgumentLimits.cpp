#include "ArgumentLimits.h"

#include <cmath>

#include "protocol/JsonRpc.h"

namespace server {

namespace {

using nlohmann::json;

[[noreturn]] void refuse(const std::string& method, std::size_t index, const std::string& why) {
    throw wire::RpcError(wire::rpc::kInvalidParams,
                         method + ": o argumento " + std::to_string(index + 1) + " " + why + ".");
}

bool tooLong(const json& value) {
    return value.is_string() && value.get_ref<const std::string&>().size() > kMaxArgumentText;
}

void checkPacket(const std::string& method, std::size_t index, const json& value) {
    if (!value.is_object() || !value.contains("$packet") || !value["$packet"].is_object()) {
        return;
    }
    const json& packet = value["$packet"];
    const std::string tooLongText =
        "tem um texto de mais de " + std::to_string(kMaxArgumentText) + " caracteres";
    if (packet.contains("fields") && packet["fields"].is_array()) {
        if (packet["fields"].size() > kMaxPacketFields) {
            refuse(method, index,
                   "tem mais de " + std::to_string(kMaxPacketFields) + " campos");
        }
        for (const json& field : packet["fields"]) {
            if (field.is_object() && field.contains("name") && tooLong(field["name"])) {
                refuse(method, index, tooLongText);
            }
        }
    }
    if (packet.contains("rows") && packet["rows"].is_array()) {
        for (const json& row : packet["rows"]) {
            if (!row.is_array()) {
                continue;
            }
            for (const json& cell : row) {
                if (tooLong(cell)) {
                    refuse(method, index, tooLongText);
                }
            }
        }
    }
}

}  // namespace

void checkArgumentLimits(const std::string& method, const json& params) {
    if (!params.is_array()) {
        return;
    }
    std::string name = method;
    for (char& c : name) {
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    const bool setPrecDif = name == "setprecdif";
    for (std::size_t i = 0; i < params.size(); ++i) {
        // SetPrecDif's argument 26 is always empty from the screen and never read.
        if (setPrecDif && i == 25) {
            continue;
        }
        if (tooLong(params[i])) {
            refuse(method, i,
                   "passa de " + std::to_string(kMaxArgumentText) + " caracteres");
        }
        checkPacket(method, i, params[i]);
    }
    if (setPrecDif && params.size() > 24 && params[24].is_number()) {
        const double amount = params[24].get<double>();
        if (!std::isfinite(amount) || std::fabs(amount) >= kMaxRuleAmount) {
            refuse(method, 24, "está fora do limite de valores (menor que 1.000.000.000)");
        }
    }
}

}  // namespace server
