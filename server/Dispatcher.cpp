#include "Dispatcher.h"

#include <variant>

#include "ArgumentLimits.h"
#include "TransientFailure.h"
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

// Compares in time that depends on the lengths only, so that the answer's timing tells
// a guesser nothing about how much of the token was right.
bool sameSecret(std::string_view given, std::string_view expected) {
    unsigned char difference = given.size() == expected.size() ? 0 : 1;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const char g = i < given.size() ? given[i] : '\0';
        difference = static_cast<unsigned char>(difference | (g ^ expected[i]));
    }
    return difference == 0;
}

std::string refusal(const nlohmann::json& id, const char* text) {
    return wire::encodeError(id, wire::rpc::kUnauthorized, text);
}

}  // namespace

Dispatcher::Dispatcher(PriceService& reads, PriceService& writes, std::string token)
    : reads_(reads), writes_(writes), token_(std::move(token)) {}

std::string Dispatcher::oversized(std::size_t limit) {
    return wire::encodeError(nullptr, wire::rpc::kInvalidRequest,
                             "Mensagem maior que o limite de " + std::to_string(limit) +
                                 " bytes.");
}

std::string Dispatcher::busy(std::size_t limit) {
    return wire::encodeError(nullptr, wire::rpc::kRefused,
                             "Servidor de aplicação ocupado: o limite de " +
                                 std::to_string(limit) +
                                 " conexões simultâneas foi atingido. Tente novamente.");
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
    Session session;
    return handle(line, session);
}

std::optional<std::string> Dispatcher::handle(std::string_view line, Session& session) {
    try {
        return route(line, session);
    } catch (const std::exception& e) {
        // Nothing a peer sends may end the connection's thread; whatever slipped through
        // is still an answer.
        return wire::encodeError(nullptr, wire::rpc::kInternalError,
                                 std::string("Erro interno do servidor: ") + e.what());
    }
}

nlohmann::json Dispatcher::store(const std::string& method, const nlohmann::json& params) {
    // Another writer (a second server on the same database, or the database's own lock
    // order) can make a store fail that would succeed a moment later. The transaction was
    // rolled back whole, so the call is simply made again.
    return retryTransient([&] { return writes_.call(method, params); });
}

std::optional<std::string> Dispatcher::route(std::string_view line, Session& session) {
    const bool gated = !token_.empty() && !session.authenticated;
    auto parsed = wire::parseRequest(line);
    if (auto* error = std::get_if<wire::RequestError>(&parsed)) {
        if (gated) {
            session.closeAfterAnswer = true;
            return refusal(nullptr, "Autenticação necessária: a conexão não apresentou o token "
                                    "de acesso do servidor.");
        }
        return wire::encodeError(error->id, error->code, error->message);
    }
    const wire::Request& request = std::get<wire::Request>(parsed);
    if (lower(request.method) == kAuthMethod) {
        const bool given = request.params.size() == 1 && request.params[0].is_string();
        if (!token_.empty() &&
            (!given || !sameSecret(request.params[0].get_ref<const std::string&>(), token_))) {
            session.closeAfterAnswer = true;
            return refusal(request.id, "Token de acesso inválido.");
        }
        session.authenticated = true;
        return wire::encodeResult(request.id, true);
    }
    if (gated) {
        session.closeAfterAnswer = true;
        return refusal(request.notification ? nlohmann::json() : request.id,
                       "Autenticação necessária: a conexão não apresentou o token de acesso "
                       "do servidor.");
    }
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
        checkArgumentLimits(method, request.params);
        const bool writes = lower(method) == "setprecdif";
        return answer(wire::encodeResult(
            request.id, writes ? store(method, request.params) : reads_.call(method, request.params)));
    } catch (const wire::RpcError& e) {
        return answer(wire::encodeError(request.id, e.code(), e.what()));
    } catch (const std::exception& e) {
        return answer(wire::encodeError(request.id, wire::rpc::kInternalError,
                                        std::string("Erro interno do servidor: ") + e.what()));
    }
}

}  // namespace server
