#include "server/rpc/Dispatcher.h"

#include <algorithm>
#include <variant>

#include "server/rpc/AsciiLower.h"
#include "server/rpc/Hello.h"
#include "server/ops/Log.h"
#include "server/rpc/StoreCallError.h"
#include "server/service/TransientFailure.h"
#include "protocol/JsonRpc.h"
#include "protocol/Methods.h"
#include "protocol/ValueCodec.h"

namespace server {

namespace {


std::string shortName(const std::string& method) {
    const auto dot = method.rfind('.');
    return asciiLower(dot == std::string::npos ? method : method.substr(dot + 1));
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

// Who a call is made for, as its connection said when the call arrived.
RuleStore::Caller callerOf(const Dispatcher::Call& call) {
    return {call.user, call.station};
}

// The answer line around a result the service wrote as JSON text: what
// wire::encodeResult writes for its JSON form, without a tree of a large result.
std::string resultLine(const nlohmann::json& id, std::string_view resultText) {
    std::string out = R"({"jsonrpc":"2.0","id":)";
    out += wire::dumpJson(id);
    out += R"(,"result":)";
    out.reserve(out.size() + resultText.size() + 1);
    out += resultText;
    out += '}';
    return out;
}

std::string refusal(const nlohmann::json& id, const char* text) {
    return wire::encodeError(id, wire::rpc::kUnauthorized, text);
}

// The answer line of a batch whose elements' answers are these, comma-separated: none
// at all when every element was a notification.
std::optional<std::string> batchAnswer(const std::string& elements) {
    if (elements.empty()) {
        return std::nullopt;
    }
    return "[" + elements + "]";
}

void append(std::string& elements, const std::string& answer) {
    if (!elements.empty()) {
        elements += ',';
    }
    elements += answer;
}


// Method names become metric labels: unknown ones are folded into one, so that a peer
// sending made-up names cannot grow the metrics without bound.
std::string methodLabel(const std::string& method) {
    const wire::MethodDescription* described = wire::findMethod(method);
    return described != nullptr ? asciiLower(std::string(described->name)) : "unknown";
}

std::string milliseconds(Dispatcher::Clock::duration elapsed) {
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
    return std::to_string(micros / 1000) + "." + std::to_string(micros % 1000 / 100);
}

long rowsOf(const nlohmann::json& result, const char* key) {
    if (!result.is_object()) return 0;
    const auto it = result.find(key);
    return it != result.end() && it->is_number_integer() ? it->get<long>() : 0;
}

}  // namespace

Dispatcher::Dispatcher(PriceService& reads, PriceService& writes, const ServerOptions& options)
    : reads_(reads),
      writes_(writes),
      token_(options.token),
      lookupTimeout_(options.dbTimeout),
      storeTimeout_(options.storeTimeout),
      log_(options.log ? *options.log : standardLog()),
      metrics_(options.metrics ? *options.metrics : ownMetrics_),
      throttle_(options.authFailures, options.authWindow, options.authLockout) {}

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

void Dispatcher::setToken(std::string token) {
    if (token.empty()) {
        throw std::invalid_argument("O novo token de acesso está vazio; o anterior continua valendo.");
    }
    std::lock_guard lock(mutex_);
    token_ = std::move(token);
}

bool Dispatcher::tokenRequired() const {
    std::lock_guard lock(mutex_);
    return !token_.empty();
}

std::string Dispatcher::token() const {
    std::lock_guard lock(mutex_);
    return token_;
}

void Dispatcher::finished(const std::string& method, const Session& session,
                          Clock::time_point arrived, const nlohmann::json* result,
                          std::string_view error) {
    const auto elapsed = Clock::now() - arrived;
    metrics_.recordCall(methodLabel(method), result != nullptr, elapsed);
    // A made-up name is shown, but not at any length.
    const std::string shown = method.substr(0, 64);
    // The user and station the connection's hello named; "-" before one.
    const std::string user = session.user.empty() ? "-" : session.user;
    if (result != nullptr) {
        // Only the methods that change stored data count rows: a dry run answers with
        // the same fields and writes nothing.
        const wire::MethodDescription* described = wire::findMethod(method);
        const bool writes = described != nullptr && described->writes;
        const long stored = writes ? rowsOf(*result, "stored") : 0;
        const long replaced = writes ? rowsOf(*result, "replaced") : 0;
        const long removed = writes ? rowsOf(*result, "removed") : 0;
        metrics_.addRows(stored, replaced);
        metrics_.addRemoved(removed);
        if (!log_.enabled(LogLevel::Info)) return;
        if (writes) {
            log_.event(LogLevel::Info, "call",
                       {{"method", shown}, {"peer", session.peer}, {"user", user},
                        {"ms", milliseconds(elapsed)}, {"result", "ok"},
                        {"stored", std::to_string(stored)}, {"replaced", std::to_string(replaced)},
                        {"removed", std::to_string(removed)}});
        } else {
            log_.event(LogLevel::Info, "call",
                       {{"method", shown}, {"peer", session.peer}, {"user", user},
                        {"ms", milliseconds(elapsed)}, {"result", "ok"}});
        }
        return;
    }
    log_.event(LogLevel::Info, "call",
               {{"method", shown}, {"peer", session.peer}, {"user", user},
                {"ms", milliseconds(elapsed)}, {"result", "error"}, {"error", std::string(error)}});
}

void Dispatcher::refusedLogin(const Session& session, std::string_view reason,
                              std::string message) {
    metrics_.authFailure();
    log_.event(LogLevel::Warning, "auth-refused",
               {{"peer", session.peer}, {"reason", std::string(reason)}, {"msg", std::move(message)}});
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
    return finish(prepare(line, session), session);
}

std::optional<std::string> Dispatcher::finish(const Step& step, const Session& session) {
    if (step.call) {
        return complete(*step.call, session);
    }
    if (step.batch) {
        return complete(*step.batch, session);
    }
    return step.answer;
}

bool Dispatcher::Batch::writes() const {
    return std::any_of(calls.begin(), calls.end(), [](const Call& call) { return call.writes; });
}

// One after another, on the thread that took the batch: a batch holds one worker, as a
// call does, and its stores run in the order sent.
std::optional<std::string> Dispatcher::complete(const Batch& batch, const Session& session) {
    std::string elements = batch.answered;
    for (const Call& call : batch.calls) {
        if (auto answer = complete(call, session)) {
            append(elements, *answer);
        }
    }
    return batchAnswer(elements);
}

Dispatcher::Step Dispatcher::prepare(std::string_view line, Session& session) {
    try {
        return route(line, session);
    } catch (const std::exception& e) {
        // Nothing a peer sends may end the connection's thread; whatever slipped through
        // is still an answer, and its inside goes to the log only.
        Call unknown;
        unknown.id = nullptr;
        const std::string n = record(unknown, session, e.what());
        return {wire::encodeError(nullptr, wire::rpc::kInternalError,
                                  "Erro interno do servidor. Ocorrência " + n +
                                      " no registro do servidor."),
                std::nullopt};
    }
}

std::string Dispatcher::record(const Call& call, const Session& session, std::string_view detail) {
    std::string n = occurrences_.next();
    log_.event(LogLevel::Error, "failure",
               {{"occurrence", n},
                {"method", call.method.empty() ? std::string("-") : call.method.substr(0, 64)},
                {"id", wire::dumpJson(call.id)},
                {"peer", session.peer.empty() ? std::string("?") : session.peer},
                {"error", std::string(detail)}});
    return n;
}

std::optional<std::string> Dispatcher::complete(const Call& call, const Session& session) {
    auto answer = [&](std::string text) -> std::optional<std::string> {
        if (call.notification) {
            return std::nullopt;
        }
        return text;
    };
    auto failed = [&](const nlohmann::json& id, int code, const std::string& message) {
        finished(call.method, session, call.arrived, nullptr, message);
        return answer(wire::encodeError(id, code, message));
    };
    try {
        nlohmann::json result;
        if (call.writes) {
            // Another writer (a second server on the same database, or the database's own
            // lock order) can make a store fail that would succeed a moment later. The
            // transaction was rolled back whole, so the call is simply made again.
            result = retryTransient(
                [&] {
                    return writes_.call(call.method, call.params, call.deadline,
                                        callerOf(call));
                },
                call.deadline);
            finished(call.method, session, call.arrived, &result, {});
            return answer(wire::encodeResult(call.id, result));
        }
        // A read's answer may be a price book of a hundred thousand rows: the service
        // writes it as text, never as a tree.
        const std::string text =
            reads_.callText(call.method, call.params, call.deadline, callerOf(call));
        finished(call.method, session, call.arrived, &result, {});
        return answer(resultLine(call.id, text));
    } catch (const StoreCallError& e) {
        // The screen is told what failed in its own words; the database's text and
        // statement go to the log under a name the administrator can look up.
        metrics_.databaseError();
        const std::string n = record(call, session, e.detail());
        return failed(call.id, e.code(),
                      std::string(e.what()) + " Ocorrência " + n +
                          " no registro do servidor.");
    } catch (const wire::RpcError& e) {
        return failed(call.id, e.code(), e.what());
    } catch (const std::exception& e) {
        const std::string n = record(call, session, e.what());
        return failed(call.id, wire::rpc::kInternalError,
                      "Erro interno do servidor. Ocorrência " + n +
                          " no registro do servidor.");
    }
}

std::string Dispatcher::refuseUnauthenticated(const nlohmann::json& id, Session& session) {
    session.closeAfterAnswer = true;
    int failures = 0;
    {
        std::lock_guard lock(mutex_);
        failures = throttle_.failed(session.peer, Clock::now());
    }
    refusedLogin(session, "no-token",
                 "autenticação recusada de " + session.peer +
                     ": chamada sem o token de acesso (falha " + std::to_string(failures) + ")");
    return refusal(id, "Autenticação necessária: a conexão não apresentou o token de acesso "
                       "do servidor.");
}

std::optional<std::string> Dispatcher::authenticate(const nlohmann::json& id,
                                                    const nlohmann::json& params,
                                                    Session& session) {
    const auto now = Clock::now();
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
        refusedLogin(session, "locked-out",
                     "conexão de " + session.peer + " recusada: endereço bloqueado por " +
                         std::to_string(wait.count()) + " s");
        return refusal(id, ("Muitas tentativas de autenticação inválidas deste endereço; tente "
                            "novamente em " +
                            std::to_string(wait.count()) + " s.")
                               .c_str());
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
    refusedLogin(session, "wrong-token",
                 "autenticação recusada de " + session.peer + ": token inválido (falha " +
                     std::to_string(failures) + ")");
    if (locked) {
        const std::string seconds = std::to_string(throttle_.lockout().count());
        log_.event(LogLevel::Warning, "auth-lockout",
                   {{"peer", session.peer},
                    {"seconds", seconds},
                    {"failures", std::to_string(failures)},
                    {"msg", "endereço " + session.peer + " bloqueado por " + seconds + " s após " +
                                std::to_string(failures) + " falhas de autenticação"}});
    }
    return refusal(id, "Token de acesso inválido.");
}

Dispatcher::Step Dispatcher::reject(const wire::RequestError& error, Session& session) {
    if (!session.authenticated && tokenRequired()) {
        return {refuseUnauthenticated(nullptr, session), std::nullopt};
    }
    return {wire::encodeError(error.id, error.code, error.message), std::nullopt};
}

// A single request pays one look at its first byte for batches.
Dispatcher::Step Dispatcher::route(std::string_view line, Session& session) {
    if (wire::isBatch(line)) {
        return routeBatch(line, session);
    }
    auto parsed = wire::parseRequest(line);
    if (auto* error = std::get_if<wire::RequestError>(&parsed)) {
        return reject(*error, session);
    }
    return routeRequest(std::get<wire::Request>(parsed), session);
}

Dispatcher::Step Dispatcher::routeBatch(std::string_view line, Session& session) {
    auto parsed = wire::parseBatch(line);
    if (auto* error = std::get_if<wire::RequestError>(&parsed)) {
        return reject(*error, session);
    }
    Batch batch;
    // In order, so that an rpc.auth or rpc.hello counts for the elements after it.
    for (const nlohmann::json& element : std::get<nlohmann::json>(parsed)) {
        auto request = wire::readRequest(element);
        Step step = std::holds_alternative<wire::RequestError>(request)
                        ? reject(std::get<wire::RequestError>(request), session)
                        : routeRequest(std::get<wire::Request>(request), session);
        if (session.closeAfterAnswer) {
            return step;  // the connection ends: its refusal is all the peer is told
        }
        if (step.answer) {
            append(batch.answered, *step.answer);
        }
        if (step.call) {
            batch.calls.push_back(std::move(*step.call));
        }
    }
    if (batch.calls.empty()) {
        return {batchAnswer(batch.answered), std::nullopt};
    }
    return Step(std::move(batch));
}

std::string Dispatcher::greet(const wire::Request& request, Session& session) {
    try {
        Hello hello = Hello::read(request.params);
        session.user = std::move(hello.user);
        session.station = hello.station.empty() ? session.peer : std::move(hello.station);
    } catch (const wire::RpcError& e) {
        return wire::encodeError(request.id, e.code(), e.what());
    }
    log_.event(LogLevel::Debug, "hello",
               {{"peer", session.peer}, {"user", session.user}, {"station", session.station}});
    return wire::encodeResult(request.id, true);
}

Dispatcher::Step Dispatcher::routeRequest(const wire::Request& request, Session& session) {
    const Clock::time_point arrived = Clock::now();
    const bool gated = !session.authenticated && tokenRequired();
    const std::string lowered = asciiLower(request.method);
    if (lowered == kAuthMethod) {
        return {authenticate(request.id, request.params, session), std::nullopt};
    }
    if (gated) {
        return {refuseUnauthenticated(request.notification ? nlohmann::json() : request.id,
                                      session),
                std::nullopt};
    }
    auto answer = [&](std::string text) -> Step {
        if (request.notification) {
            return {};
        }
        return {std::move(text), std::nullopt};
    };
    if (lowered == wire::kHelloMethod) {
        return answer(greet(request, session));
    }
    // Object and method names are matched without regard to letter case, as the screen's
    // platform resolves them.
    const auto dot = request.method.rfind('.');
    const std::string object = dot == std::string::npos ? "" : request.method.substr(0, dot);
    const std::string method = dot == std::string::npos ? request.method
                                                        : request.method.substr(dot + 1);
    auto refuse = [&](int code, const std::string& message) -> Step {
        finished(method, session, arrived, nullptr, message);
        return answer(wire::encodeError(request.id, code, message));
    };
    if (asciiLower(object) != asciiLower(kObjectName)) {
        return refuse(wire::rpc::kMethodNotFound, "Objeto remoto desconhecido: \"" + object + "\".");
    }
    const wire::MethodDescription* described = wire::findMethod(method);
    if (described == nullptr) {
        return refuse(wire::rpc::kMethodNotFound, "Método desconhecido: \"" + method +
                                                      "\" do objeto " +
                                                      std::string(kObjectName) + ".");
    }
    if (auto failure = takeFailure(method)) {
        return refuse(wire::rpc::kRefused, *failure);
    }
    try {
        // Arguments are checked where they arrive: a hostile one never reaches a worker,
        // the database, the checks or the error texts.
        wire::checkParams(*described, request.params);
    } catch (const wire::RpcError& e) {
        return refuse(e.code(), e.what());
    }
    Call call;
    call.id = request.id;
    call.method = method;
    call.params = request.params;
    call.notification = request.notification;
    call.writes = described->writes;
    call.arrived = arrived;
    call.deadline = Clock::now() + (call.writes ? storeTimeout_ : lookupTimeout_);
    call.user = session.user;
    call.station = session.station.empty() ? session.peer : session.station;
    return {std::nullopt, std::move(call)};
}

}  // namespace server
