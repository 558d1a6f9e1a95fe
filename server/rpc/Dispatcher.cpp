#include "server/rpc/Dispatcher.h"

#include <variant>

#include "protocol/Methods.h"
#include "protocol/ValueCodec.h"
#include "server/ops/Log.h"
#include "server/rpc/AsciiLower.h"
#include "server/rpc/BatchAnswer.h"
#include "server/rpc/Hello.h"
#include "server/rpc/StoreCallError.h"
#include "server/service/NothingNewYet.h"

namespace server {

namespace {

// Who a call is made for, as its connection said when the call arrived.
RuleStore::Caller callerOf(const Call& call) {
    return {call.user, call.station};
}

// The answer line around a result the service wrote as JSON text: what
// wire::encodeResult writes for its JSON form, without a tree of a large result. When
// the result's text has room for the line, the line is made in it: a price book's
// answer is not copied into a second text.
std::string resultLine(const nlohmann::json& id, std::string resultText) {
    std::string head = R"({"jsonrpc":"2.0","id":)";
    head += wire::dumpJson(id);
    head += R"(,"result":)";
    const std::size_t size = head.size() + resultText.size() + 1;
    if (resultText.capacity() < size) {
        head.reserve(size);
        head += resultText;
        head += '}';
        return head;
    }
    resultText.insert(0, head);
    resultText += '}';
    return resultText;
}

// A read answered with its result's text: logged, and its answer line unless it was a
// notification.
std::optional<std::string> answeredRead(CallLog& log, const Call& call, const Session& session,
                                        std::string text) {
    log.succeeded(call, session, nlohmann::json());
    if (call.notification) {
        return std::nullopt;
    }
    return resultLine(call.id, std::move(text));
}

// A call refused with the wire's error: logged, and its answer line unless it was a
// notification.
std::optional<std::string> refusedCall(CallLog& log, const Call& call, const Session& session,
                                       const wire::RpcError& e) {
    log.failed(call.method->name, session, call.arrived, e.what());
    if (call.notification) {
        return std::nullopt;
    }
    return wire::encodeError(call.id, e.code(), e.what());
}

std::string internalError(const std::string& occurrence) {
    return "Erro interno do servidor. Ocorrência " + occurrence + " no registro do servidor.";
}

}  // namespace

Dispatcher::Dispatcher(PriceService& reads, PriceService& writes, const RpcOptions& options)
    : reads_(reads),
      writes_(writes),
      lookupTimeout_(options.lookupTimeout),
      storeTimeout_(options.storeTimeout),
      batchAnswerLimit_(options.batchAnswerLimit),
      metrics_(options.metrics ? *options.metrics : ownMetrics_),
      log_(options.log ? *options.log : standardLog(), metrics_),
      gate_(options, log_) {}

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

std::optional<std::string> Dispatcher::handle(std::string_view line) {
    Session session;
    return handle(line, session);
}

std::optional<std::string> Dispatcher::handle(std::string_view line, Session& session) {
    return finish(prepare(line, session), session);
}

std::optional<std::string> Dispatcher::finish(Step step, const Session& session) {
    if (step.call) {
        return complete(*step.call, session);
    }
    if (step.batch) {
        return complete(std::move(*step.batch), session);
    }
    return std::move(step.answer);
}

// One after another, on the thread that took the batch: a batch holds one worker, as a
// call does, and its stores run in the order sent.
std::optional<std::string> Dispatcher::complete(Batch batch, const Session& session) {
    BatchAnswer answers(batchAnswerLimit_, std::move(batch.answered));
    for (const Call& call : batch.calls) {
        if (!answers.open()) {
            // Past the limit of what one answer line may hold: not run, so nothing of it
            // is held either.
            log_.failed(call.method->name, session, call.arrived, answers.refusal());
            if (!call.notification) {
                answers.refuse(call.id);
            }
        } else if (auto answer = complete(call, session)) {
            answers.add(call.id, *answer, call.writes());
        }
    }
    return answers.take();
}

Step Dispatcher::prepare(std::string_view line, Session& session) {
    try {
        return route(line, session);
    } catch (const std::exception& e) {
        // Nothing a peer sends may end the connection's thread; whatever slipped through
        // is still an answer, and its inside goes to the log only.
        Call unknown;
        unknown.id = nullptr;
        const std::string n = log_.occurrence(unknown, session, e.what(), false);
        return {wire::encodeError(nullptr, wire::rpc::kInternalError, internalError(n)),
                std::nullopt};
    }
}

std::optional<std::string> Dispatcher::failedInside(const Call& call, const Session& session,
                                                    std::string_view detail, bool database,
                                                    std::string message) {
    const std::string n = log_.occurrence(call, session, detail, database);
    message += " Ocorrência " + n + " no registro do servidor.";
    log_.failed(call.method->name, session, call.arrived, message);
    if (call.notification) {
        return std::nullopt;
    }
    return wire::encodeError(call.id, wire::rpc::kInternalError, message);
}

std::optional<std::string> Dispatcher::complete(const Call& call, const Session& session) {
    try {
        if (call.writes()) {
            const nlohmann::json result =
                writes_.callChecked(*call.method, call.params, call.deadline, callerOf(call));
            log_.succeeded(call, session, result);
            if (call.notification) {
                return std::nullopt;
            }
            return wire::encodeResult(call.id, result);
        }
        // A read's answer may be a price book of a hundred thousand rows: the service
        // writes it as text, never as a tree.
        return answeredRead(
            log_, call, session,
            reads_.callTextChecked(*call.method, call.params, call.deadline, callerOf(call)));
    } catch (const StoreCallError& e) {
        // The screen is told what failed in its own words; the database's text and
        // statement go to the log under a number the administrator can look up.
        return failedInside(call, session, e.detail(), true, e.what());
    } catch (const wire::RpcError& e) {
        return refusedCall(log_, call, session, e);
    } catch (const std::exception& e) {
        return failedInside(call, session, e.what(), false, "Erro interno do servidor.");
    }
}

bool Dispatcher::answerHeld(const Step& step, const Session& session,
                            std::optional<std::string>& line) {
    if (!step.call || step.call->writes() || step.call->method->waits) {
        return false;
    }
    const Call& call = *step.call;
    try {
        auto text = reads_.answerHeld(*call.method, call.params);
        if (!text) {
            return false;
        }
        line = answeredRead(log_, call, session, std::move(*text));
    } catch (const wire::RpcError& e) {
        line = refusedCall(log_, call, session, e);
    } catch (const std::exception&) {
        return false;  // the database's run of it tells what went wrong
    }
    return true;
}

Completion Dispatcher::completeOrPark(Call call, const Session& session, bool mayPark) {
    const long long wait = call.params.back().is_number_integer() ? call.params.back().get<long long>() : 0;
    const Clock::time_point until = call.arrived + std::chrono::milliseconds(std::max(0LL, wait));
    const Clock::time_point now = Clock::now();
    call.deadline = now + lookupTimeout_;
    try {
        return {answeredRead(log_, call, session,
                             reads_.callTextChecked(*call.method, call.params, call.deadline,
                                                    callerOf(call), mayPark && now < until)),
                std::nullopt};
    } catch (const NothingNewYet& e) {
        std::string branch = e.branch();
        const long long seen = e.seen();
        return {std::nullopt, ParkedCall{std::move(call), std::move(branch), seen, until}};
    } catch (...) {
        // Its failures are answered as any call's: the same run without waiting.
    }
    return {complete(call, session), std::nullopt};
}

Step Dispatcher::reject(const wire::RequestError& error, Session& session) {
    if (gate_.shut(session)) {
        return {gate_.refuse(nullptr, session), std::nullopt};
    }
    return {wire::encodeError(error.id, error.code, error.message), std::nullopt};
}

// A single request pays one look at its first byte for batches.
Step Dispatcher::route(std::string_view line, Session& session) {
    if (wire::isBatch(line)) {
        return routeBatch(line, session);
    }
    auto parsed = wire::parseRequest(line);
    if (auto* error = std::get_if<wire::RequestError>(&parsed)) {
        return reject(*error, session);
    }
    return routeRequest(std::move(std::get<wire::Request>(parsed)), session);
}

Step Dispatcher::routeBatch(std::string_view line, Session& session) {
    auto parsed = wire::parseBatch(line);
    if (auto* error = std::get_if<wire::RequestError>(&parsed)) {
        return reject(*error, session);
    }
    Batch batch;
    // In order, so that an rpc.auth or rpc.hello counts for the elements after it. Each
    // element is moved out of the parsed line: its params are never copied.
    for (nlohmann::json& element : std::get<nlohmann::json>(parsed)) {
        auto request = wire::readRequest(std::move(element));
        Step step = std::holds_alternative<wire::RequestError>(request)
                        ? reject(std::get<wire::RequestError>(request), session)
                        : routeRequest(std::move(std::get<wire::Request>(request)), session);
        if (session.closeAfterAnswer) {
            return step;  // the connection ends: its refusal is all the peer is told
        }
        if (step.answer) {
            if (!batch.answered.empty()) {
                batch.answered += ',';
            }
            batch.answered += *step.answer;
        }
        if (step.call) {
            batch.calls.push_back(std::move(*step.call));
        }
    }
    if (batch.calls.empty()) {
        return {BatchAnswer(batchAnswerLimit_, std::move(batch.answered)).take(), std::nullopt};
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
    log_.hello(session);
    return wire::encodeResult(request.id, true);
}

Step Dispatcher::routeRequest(wire::Request&& request, Session& session) {
    const Clock::time_point arrived = Clock::now();
    if (sameAsciiName(request.method, kAuthMethod)) {
        return {gate_.authenticate(request.id, request.params, session), std::nullopt};
    }
    if (gate_.shut(session)) {
        return {gate_.refuse(request.notification ? nlohmann::json() : request.id, session),
                std::nullopt};
    }
    auto answer = [&](std::string text) -> Step {
        if (request.notification) {
            return {};
        }
        return {std::move(text), std::nullopt};
    };
    if (sameAsciiName(request.method, wire::kHelloMethod)) {
        return answer(greet(request, session));
    }
    // Object and method names are matched without regard to letter case, as the screen's
    // platform resolves them. They are looked at in place: a name may be megabytes long.
    const std::string_view name = request.method;
    const auto dot = name.rfind('.');
    const std::string_view object = dot == std::string_view::npos ? "" : name.substr(0, dot);
    const std::string_view method = dot == std::string_view::npos ? name : name.substr(dot + 1);
    auto refuse = [&](int code, const std::string& message) -> Step {
        log_.failed(method, session, arrived, message);
        return answer(wire::encodeError(request.id, code, message));
    };
    if (!sameAsciiName(object, kObjectName)) {
        return refuse(wire::rpc::kMethodNotFound,
                      "Objeto remoto desconhecido: \"" + peerName(object) + "\".");
    }
    const wire::MethodDescription* described = wire::findMethod(method);
    if (described == nullptr) {
        return refuse(wire::rpc::kMethodNotFound, "Método desconhecido: \"" + peerName(method) +
                                                      "\" do objeto " + std::string(kObjectName) +
                                                      ".");
    }
    if (auto failure = failures_.take(method)) {
        return refuse(wire::rpc::kRefused, *failure);
    }
    try {
        // Arguments are checked where they arrive, once: a hostile one never reaches a
        // worker, the database, the checks or the error texts.
        wire::checkParams(*described, request.params);
    } catch (const wire::RpcError& e) {
        return refuse(e.code(), e.what());
    }
    Call call;
    call.id = std::move(request.id);
    call.method = described;
    call.params = std::move(request.params);
    call.notification = request.notification;
    call.arrived = arrived;
    call.deadline = Clock::now() + (described->writes ? storeTimeout_ : lookupTimeout_);
    call.user = session.user;
    call.station = session.station.empty() ? session.peer : session.station;
    return {std::nullopt, std::move(call)};
}

}  // namespace server
