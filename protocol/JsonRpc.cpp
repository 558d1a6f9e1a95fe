#include "JsonRpc.h"

#include <algorithm>

#include "ValueCodec.h"

namespace wire {

using nlohmann::json;

namespace {

bool validId(const json& id) {
    return id.is_string() || id.is_number() || id.is_null();
}

}  // namespace

std::size_t jsonDepth(std::string_view text) {
    std::size_t depth = 0;
    std::size_t deepest = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

namespace {

// The depth check and the parse every line goes through, batch or not.
std::variant<json, RequestError> parseMessage(std::string_view line) {
    // The parser itself copes with any depth, but the codec, the checks and the error
    // texts walk a message recursively; a line of a million "[" must not reach them.
    if (jsonDepth(line) > kMaxJsonDepth) {
        return RequestError{nullptr, rpc::kInvalidRequest,
                            "Requisição inválida: a mensagem passa de " +
                                std::to_string(kMaxJsonDepth) + " níveis de aninhamento."};
    }
    try {
        return json::parse(line);
    } catch (const json::exception& e) {
        // Not only parse_error: a number beyond a double (1e400) is an out_of_range.
        return RequestError{nullptr, rpc::kParseError, std::string("JSON inválido: ") + e.what()};
    }
}

bool isHello(const std::string& method) {
    return std::equal(method.begin(), method.end(), kHelloMethod.begin(), kHelloMethod.end(),
                      [](char a, char b) {
                          return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
                      });
}

}  // namespace

std::variant<Request, RequestError> parseRequest(std::string_view line) {
    auto parsed = parseMessage(line);
    if (auto* error = std::get_if<RequestError>(&parsed)) {
        return std::move(*error);
    }
    json& message = std::get<json>(parsed);
    if (message.is_array()) {
        // A server reads a batch with parseBatch, having told it by its first byte.
        return RequestError{nullptr, rpc::kInvalidRequest,
                            "Requisição inválida: esperada uma chamada, não um lote."};
    }
    return readRequest(std::move(message));
}

bool isBatch(std::string_view line) {
    const auto first = line.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && line[first] == '[';
}

std::variant<json, RequestError> parseBatch(std::string_view line, std::size_t maxElements) {
    auto parsed = parseMessage(line);
    if (auto* error = std::get_if<RequestError>(&parsed)) {
        return std::move(*error);
    }
    json& message = std::get<json>(parsed);
    if (!message.is_array()) {
        return RequestError{nullptr, rpc::kInvalidRequest,
                            "Requisição inválida: esperado um lote de chamadas."};
    }
    if (message.empty()) {
        return RequestError{nullptr, rpc::kInvalidRequest,
                            "Requisição inválida: lote de chamadas vazio."};
    }
    // One line is answered by one line, all of whose calls hold a worker in turn: the
    // bound keeps one peer's line from holding the server for ever.
    if (message.size() > maxElements) {
        return RequestError{nullptr, rpc::kInvalidRequest,
                            "Requisição inválida: o lote tem " + std::to_string(message.size()) +
                                " chamadas; o limite é " + std::to_string(maxElements) + "."};
    }
    return std::move(message);
}

std::variant<Request, RequestError> readRequest(json message) {
    if (!message.is_object()) {
        return RequestError{nullptr, rpc::kInvalidRequest,
                            "Requisição inválida: a mensagem deve ser um objeto JSON."};
    }
    Request request;
    request.notification = !message.contains("id");
    if (!request.notification) {
        request.id = std::move(message["id"]);
        if (!validId(request.id)) {
            return RequestError{nullptr, rpc::kInvalidRequest,
                                "Requisição inválida: identificador de tipo inválido."};
        }
    }
    auto fail = [&](int code, const std::string& text) {
        return RequestError{request.id, code, text};
    };
    if (!message.contains("jsonrpc") || message["jsonrpc"] != "2.0") {
        return fail(rpc::kInvalidRequest, "Requisição inválida: \"jsonrpc\" deve ser \"2.0\".");
    }
    if (!message.contains("method") || !message["method"].is_string()) {
        return fail(rpc::kInvalidRequest, "Requisição inválida: método não informado.");
    }
    request.method = std::move(message["method"].get_ref<std::string&>());
    if (message.contains("params")) {
        const json& params = message["params"];
        if (!params.is_array() && !(params.is_object() && isHello(request.method))) {
            return fail(rpc::kInvalidParams,
                        "Parâmetros inválidos: os argumentos devem ser posicionais (lista).");
        }
        // The params may be a packet of megabytes: moved out of the message, never copied.
        request.params = std::move(message["params"]);
    }
    return request;
}

// The envelopes are written around the dumped pieces: building them as JSON objects
// would copy the whole params or result (a packet of many rows) only to write it out.
namespace {

void appendCall(std::string& out, std::string_view method, const json& params) {
    out += R"("method":)";
    out += dumpJson(json(method));
    out += R"(,"params":)";
    out += dumpJson(params);
    out += '}';
}

}  // namespace

std::string encodeRequest(const json& id, const std::string& method, const json& params) {
    std::string out = R"({"jsonrpc":"2.0","id":)";
    out += dumpJson(id);
    out += ',';
    appendCall(out, method, params);
    return out;
}

std::string encodeNotification(std::string_view method, const json& params) {
    std::string out = R"({"jsonrpc":"2.0",)";
    appendCall(out, method, params);
    return out;
}

std::string encodeResult(const json& id, const json& result) {
    std::string out = R"({"jsonrpc":"2.0","id":)";
    out += dumpJson(id);
    out += R"(,"result":)";
    out += dumpJson(result);
    out += '}';
    return out;
}

std::string encodeError(const json& id, int code, const std::string& message) {
    std::string out = R"({"jsonrpc":"2.0","id":)";
    out += dumpJson(id);
    out += R"(,"error":{"code":)";
    out += std::to_string(code);
    out += R"(,"message":)";
    out += dumpJson(json(message));
    out += "}}";
    return out;
}

CallResult parseResponse(std::string_view line, const json& expectedId) {
    auto bad = [](const std::string& why) {
        return CallResult::failure(rpc::kParseError,
                                   "Resposta inválida do servidor de aplicação: " + why);
    };
    if (jsonDepth(line) > kMaxJsonDepth) {
        return bad("aninhamento acima de " + std::to_string(kMaxJsonDepth) + " níveis");
    }
    json message;
    try {
        message = json::parse(line);
    } catch (const json::exception& e) {
        return bad(e.what());
    }
    if (!message.is_object() || !message.contains("jsonrpc") || message["jsonrpc"] != "2.0") {
        return bad("não é uma mensagem JSON-RPC 2.0");
    }
    const bool hasResult = message.contains("result");
    const bool hasError = message.contains("error");
    if (hasResult == hasError) {
        return bad("deve haver exatamente um de \"result\" e \"error\"");
    }
    if (hasError) {
        // An error answer may carry a null id when the server could not read ours.
        const json& error = message["error"];
        if (!error.is_object() || !error.contains("message") || !error["message"].is_string()) {
            return bad("erro sem mensagem");
        }
        const int code = error.contains("code") && error["code"].is_number_integer()
                             ? error["code"].get<int>()
                             : rpc::kInternalError;
        return CallResult::failure(code, error["message"].get<std::string>());
    }
    if (!message.contains("id") || message["id"] != expectedId) {
        return bad("identificador não corresponde à chamada");
    }
    try {
        return CallResult::success(fromJson(message["result"]));
    } catch (const CodecError& e) {
        return bad(e.what());
    }
}

}  // namespace wire
