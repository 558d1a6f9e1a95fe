#include "server/rpc/Hello.h"

#include "protocol/JsonRpc.h"

namespace server {

namespace {

using nlohmann::json;

[[noreturn]] void refuse(const std::string& why) {
    throw wire::RpcError(wire::rpc::kInvalidParams, std::string(wire::kHelloMethod) + ": " + why);
}

// The parser has checked the text is UTF-8: its characters are the bytes that do not
// continue a sequence.
std::size_t characters(const std::string& text) {
    std::size_t count = 0;
    for (const char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

std::string member(const json& params, const char* name) {
    const auto it = params.find(name);
    if (it == params.end()) {
        return {};
    }
    const std::string quoted = std::string("\"") + name + "\"";
    if (!it->is_string()) {
        refuse(quoted + " deve ser texto.");
    }
    const std::string& text = it->get_ref<const std::string&>();
    if (characters(text) > Hello::kMaxText) {
        refuse(quoted + " passa de " + std::to_string(Hello::kMaxText) + " caracteres.");
    }
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            refuse(quoted + " tem caracteres de controle.");
        }
    }
    return text;
}

}  // namespace

Hello Hello::read(const json& params) {
    if (!params.is_object()) {
        refuse("os parâmetros devem ser um objeto {\"user\": texto, \"station\": texto}.");
    }
    Hello hello;
    hello.user = member(params, "user");
    hello.station = member(params, "station");
    return hello;
}

}  // namespace server
