#pragma once
// Turns one request line into one answer line: no sockets, no threads of its own.
//
// Authentication. When the server has a token, the first message of every connection
// must be the call
//     {"jsonrpc":"2.0","id":1,"method":"rpc.auth","params":["<token>"]}
// answered by {"result":true}. Until then every line, whatever it holds, is answered by
// an error with code -32001 and the connection is closed after that answer; a wrong
// token is answered and closed the same way. Every failure is logged with the peer's
// address; an address that fails too often is locked out for a while, and then even the
// right token is refused. Without a token (loopback only) rpc.auth is accepted and
// answered true, so a client given a token also talks to such a server, and clients that
// never send it work as before.
//
// Who is calling. After rpc.auth a client may send the notification
//     {"jsonrpc":"2.0","method":"rpc.hello","params":{"user":"ana","station":"caixa-01"}}
// naming its user and workstation (each at most 64 characters), which every later call
// of the connection carries (Call::user, Call::station) so that the changes it makes
// record them. Without it the user is empty and the station is the peer's address. A
// hello that is not valid is ignored when it is a notification; sent with an id, it is
// answered -32602. Answered true when sent with an id and valid.
//
// Batches. A line holding a JSON array of requests is answered by one line holding the
// array of their answers, once every element has completed: the answers given without
// the database first, then the calls' in the order sent. Notifications have no answer in
// it, and a batch of notifications only gets no line at all. Each element is handled as
// the same request on a line of its own: the gate, rpc.auth and rpc.hello (taken as they
// come, so the calls after a successful rpc.auth pass the gate), the method and its
// arguments' bounds, failNext, and its deadline, which counts from the batch's arrival
// (the whole batch is answered within the longest deadline of its calls). A non-object
// element gets its own error in the array. A line that is not JSON, an empty array or
// one of more than wire::kMaxBatch elements is answered by one error, not an array. An
// element that ends the connection (the gate, a refused rpc.auth) makes its refusal the
// batch's whole answer, and no call of the batch runs. A batch's answers are held up to
// RpcOptions::batchAnswerLimit bytes: the calls past it are not run, and each is answered
// by an error (-32000) that names the limit.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/JsonRpc.h"
#include "server/ops/Metrics.h"
#include "server/rpc/Call.h"
#include "server/rpc/CallLog.h"
#include "server/rpc/FailureHook.h"
#include "server/rpc/Gate.h"
#include "server/rpc/PriceService.h"
#include "server/rpc/RpcOptions.h"

namespace server {

/// The name of the one remote object this server hosts.
inline constexpr std::string_view kObjectName = "Vnd42400.rdmTabePreco";
/// The method a connection authenticates with.
inline constexpr std::string_view kAuthMethod = "rpc.auth";

/// Routes "Vnd42400.rdmTabePreco.<method>" calls to the service and writes the answer.
/// Thread-safe.
class Dispatcher {
public:
    using Clock = CallClock;
    using Session = server::Session;
    using Call = server::Call;
    using Batch = server::Batch;
    using Step = server::Step;

    /// One service for everything (tests, tools).
    explicit Dispatcher(PriceService& service) : Dispatcher(service, service, RpcOptions{}) {}
    /// reads serves the reading methods, writes the ones that change stored data, so that
    /// a long store does not hold up lookups when they are two services over two
    /// connections.
    Dispatcher(PriceService& reads, PriceService& writes, const RpcOptions& options);

    /// Looks at a line without touching the database: parses it, authenticates, checks
    /// the method and its arguments' bounds. Never throws for anything a peer sends.
    Step prepare(std::string_view line, Session& session);
    /// Runs a prepared call against the database: its answer line (without "\n"), or
    /// nullopt for a notification. Never throws.
    std::optional<std::string> complete(const Call& call, const Session& session);
    /// Runs a batch's calls one after another: the batch's answer line, or nullopt when
    /// it holds nothing to answer. Never throws.
    std::optional<std::string> complete(Batch batch, const Session& session);
    /// Runs a prepared call of a method that waits (wire::MethodDescription::waits): its
    /// answer, or, while its wait has not run out and mayPark, the call put aside because
    /// nothing is new for it yet. Each run has the lookup time from its start. Never throws.
    Completion completeOrPark(Call call, const Session& session, bool mayPark);
    /// Answers a prepared single call from what the server holds in memory alone, on the
    /// caller's thread, without waiting for anything: true, with its answer line (nullopt
    /// for a notification) in `line`, when it could; false when the call must run against
    /// the database (or the step is no single call of a method that reads). Never throws.
    bool answerHeld(const Step& step, const Session& session, std::optional<std::string>& line);
    /// The answer line of a prepared step: completes its call or batch, if any.
    std::optional<std::string> finish(Step step, const Session& session);

    /// prepare and complete in one: the answer line (without "\n") for a request line;
    /// nullopt for a well-formed notification, which gets no answer. Never throws.
    std::optional<std::string> handle(std::string_view line, Session& session);
    /// The same for a connection of its own (a one-line session).
    std::optional<std::string> handle(std::string_view line);
    /// The answer to a frame that went over the size limit.
    static std::string oversized(std::size_t limit);
    /// The line sent to a connection refused because too many are open.
    static std::string busy(std::size_t limit);

    /// Replaces the token connections must present from now on; connections already
    /// logged in stay so. An empty token is refused (std::invalid_argument): a server
    /// started with one may listen where one is required.
    void setToken(std::string token) { gate_.setToken(std::move(token)); }
    /// Where calls, logins and database errors are counted.
    Metrics& metrics() { return metrics_; }

    /// Makes the next call of method (its short name, letter case ignored) answer an error
    /// with this message without running.
    void failNext(const std::string& method, const std::string& message) {
        failures_.arm(method, message);
    }

private:
    Step route(std::string_view line, Session& session);
    Step routeBatch(std::string_view line, Session& session);
    Step routeRequest(wire::Request&& request, Session& session);
    /// The answer to a message that is no request, or the refusal when the gate is shut.
    Step reject(const wire::RequestError& error, Session& session);
    std::string greet(const wire::Request& request, Session& session);
    /// The error answer of a call that failed inside: logged under an occurrence number,
    /// which the answer gives.
    std::optional<std::string> failedInside(const Call& call, const Session& session,
                                            std::string_view detail, bool database,
                                            std::string message);

    PriceService& reads_;
    PriceService& writes_;
    std::chrono::milliseconds lookupTimeout_;
    std::chrono::milliseconds storeTimeout_;
    std::size_t batchAnswerLimit_;
    Metrics ownMetrics_;
    Metrics& metrics_;
    CallLog log_;
    Gate gate_;
    FailureHook failures_;
};

}  // namespace server
