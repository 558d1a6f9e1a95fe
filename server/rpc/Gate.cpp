#include "server/rpc/Gate.h"

#include <stdexcept>

#include "protocol/JsonRpc.h"

namespace server {

namespace {

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

std::string refusal(const nlohmann::json& id, const std::string& text) {
    return wire::encodeError(id, wire::rpc::kUnauthorized, text);
}

}  // namespace

Gate::Gate(const RpcOptions& options, CallLog& log)
    : log_(log),
      token_(options.token),
      throttle_(options.authFailures, options.authWindow, options.authLockout) {}

void Gate::setToken(std::string token) {
    if (token.empty()) {
        throw std::invalid_argument(
            "O novo token de acesso está vazio; o anterior continua valendo.");
    }
    std::lock_guard lock(mutex_);
    token_ = std::move(token);
}

bool Gate::shut(const Session& session) const {
    if (session.authenticated) {
        return false;
    }
    std::lock_guard lock(mutex_);
    return !token_.empty();
}

std::string Gate::refuse(const nlohmann::json& id, Session& session) {
    session.closeAfterAnswer = true;
    int failures = 0;
    {
        std::lock_guard lock(mutex_);
        failures = throttle_.failed(session.peer, CallClock::now());
    }
    log_.refusedLogin(session, "no-token",
                      "autenticação recusada de " + session.peer +
                          ": chamada sem o token de acesso (falha " + std::to_string(failures) +
                          ")");
    return refusal(id,
                   "Autenticação necessária: a conexão não apresentou o token de acesso "
                   "do servidor.");
}

std::string Gate::authenticate(const nlohmann::json& id, const nlohmann::json& params,
                               Session& session) {
    const auto now = CallClock::now();
    std::unique_lock lock(mutex_);
    if (token_.empty()) {
        lock.unlock();
        session.authenticated = true;
        return wire::encodeResult(id, true);
    }
    // A locked-out address is not even compared with the token: guessing is over for
    // the lockout's time, however fast the guesses come.
    if (const auto wait = throttle_.wait(session.peer, now); wait.count() > 0) {
        lock.unlock();
        session.closeAfterAnswer = true;
        log_.refusedLogin(session, "locked-out",
                          "conexão de " + session.peer + " recusada: endereço bloqueado por " +
                              std::to_string(wait.count()) + " s");
        return refusal(id,
                       "Muitas tentativas de autenticação inválidas deste endereço; tente "
                       "novamente em " +
                           std::to_string(wait.count()) + " s.");
    }
    const bool given = params.size() == 1 && params[0].is_string();
    if (given && sameSecret(params[0].get_ref<const std::string&>(), token_)) {
        throttle_.succeeded(session.peer);
        lock.unlock();
        session.authenticated = true;
        return wire::encodeResult(id, true);
    }
    const int failures = throttle_.failed(session.peer, now);
    const bool locked = throttle_.wait(session.peer, now).count() > 0;
    lock.unlock();
    session.closeAfterAnswer = true;
    log_.refusedLogin(session, "wrong-token",
                      "autenticação recusada de " + session.peer + ": token inválido (falha " +
                          std::to_string(failures) + ")");
    if (locked) {
        log_.lockedOut(session, static_cast<long>(throttle_.lockout().count()), failures);
    }
    return refusal(id, "Token de acesso inválido.");
}

}  // namespace server
