#include "Dispatcher.h"

#include <variant>

#include "protocol/JsonRpc.h"

namespace server {

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string shortName(const std::string& method) {
    const auto dot = method.rfind('.');
    return lower(dot == std::string::npos ? method : method.substr(dot + 1));
}

}  // namespace

std::string Dispatcher::oversized(std::size_t limit) {
    return wire::encodeError(nullptr, wire::rpc::kInvalidRequest,
                             "Mensagem maior que o limite de " + std::to_string(limit) +
                                 " bytes.");
}

void Dispatcher::failNext(const std::string& method, const std::string& message) {
    std::lock_guard lock(mutex_);
    failures_[shortName(method)] = message;
}

std::optional<std::string> Dispatcher::takeFailure(const std::string& method) {
    std::lock_guard lock(mutex_);
    const auto it = failures_.find(shortName(method));
    if (it == failures_.end()) {
        return std::nullopt;
    }
    std::string message = std::move(it->second);
    failures_.erase(it);
    return message;
}

std::optional<std::string> Dispatcher::handle(std::string_view line) {
    auto parsed = wire::parseRequest(line);
    if (auto* error = std::get_if<wire::RequestError>(&parsed)) {
        return wire::encodeError(error->id, error->code, error->message);
    }
    const wire::Request& request = std::get<wire::Request>(parsed);
    auto answer = [&](std::string text) -> std::optional<std::string> {
        if (request.notification) {
            return std::nullopt;
        }
        return text;
    };
    // Object and method names are matched without regard to letter case, as the screen's
    // platform resolves them.
    const auto dot = request.method.rfind('.');
    const std::string object = dot == std::string::npos ? "" : request.method.substr(0, dot);
    const std::string method = dot == std::string::npos ? request.method
                                                        : request.method.substr(dot + 1);
    if (lower(object) != lower(kObjectName)) {
        return answer(wire::encodeError(request.id, wire::rpc::kMethodNotFound,
                                        "Objeto remoto desconhecido: \"" + object + "\"."));
    }
    if (!PriceService::hasMethod(method)) {
        return answer(wire::encodeError(request.id, wire::rpc::kMethodNotFound,
                                        "Método desconhecido: \"" + method + "\" do objeto " +
                                            std::string(kObjectName) + "."));
    }
    if (auto failure = takeFailure(method)) {
        return answer(wire::encodeError(request.id, wire::rpc::kRefused, *failure));
    }
    try {
        return answer(wire::encodeResult(request.id, service_.call(method, request.params)));
    } catch (const wire::RpcError& e) {
        return answer(wire::encodeError(request.id, e.code(), e.what()));
    } catch (const std::exception& e) {
        return answer(wire::encodeError(request.id, wire::rpc::kInternalError,
                                        std::string("Erro interno do servidor: ") + e.what()));
    }
}

}  // namespace server
