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
// batch's whole answer, and no call of the batch runs.

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/rpc/AuthThrottle.h"
#include "server/ops/Metrics.h"
#include "server/ops/Occurrences.h"
#include "server/service/PriceService.h"
#include "server/net/ServerOptions.h"
#include "protocol/JsonRpc.h"

namespace server {

class Log;

/// The name of the one remote object this server hosts.
inline constexpr std::string_view kObjectName = "Vnd42400.rdmTabePreco";
/// The method a connection authenticates with.
inline constexpr std::string_view kAuthMethod = "rpc.auth";

/// Routes "Vnd42400.rdmTabePreco.<method>" calls to the service and writes the answer.
/// Thread-safe.
class Dispatcher {
public:
    using Clock = std::chrono::steady_clock;

    /// What the dispatcher knows of one connection; touched by one call at a time.
    struct Session {
        bool authenticated = false;
        bool closeAfterAnswer = false;  ///< set when the connection must end now
        std::string peer;               ///< the peer's address, for the log and lockouts
        std::string user;               ///< as rpc.hello named it; empty until then
        std::string station;            ///< as rpc.hello named it; the peer's until then
    };

    /// A checked call of the object's methods that needs the database: prepared where
    /// the bytes arrive, completed on a thread that may wait for the database.
    struct Call {
        nlohmann::json id;
        std::string method;  ///< the short name as sent
        nlohmann::json params;
        bool notification = false;
        bool writes = false;  ///< SetPrecDif
        Clock::time_point arrived;  ///< when its line was read, for the call's duration
        Clock::time_point deadline;
        std::string user, station;  ///< the session's when the call was prepared
    };

    /// A batch with calls to complete.
    struct Batch {
        std::string answered;     ///< the answers given at once, comma-separated
        std::vector<Call> calls;  ///< in the order sent
        /// True when it holds a store: it then runs on the stores' workers.
        bool writes() const;
    };

    /// What one line asks for: an answer given at once (or none, for a notification), or
    /// a call or a batch to complete.
    struct Step {
        Step() = default;
        Step(std::optional<std::string> answerLine, std::optional<Call> toComplete)
            : answer(std::move(answerLine)), call(std::move(toComplete)) {}
        explicit Step(Batch toComplete) : batch(std::move(toComplete)) {}

        std::optional<std::string> answer;
        std::optional<Call> call;
        std::optional<Batch> batch;

        /// Something is left to complete (on a worker).
        bool pending() const { return call || batch; }
        /// What is left to complete stores rules.
        bool writes() const { return call ? call->writes : batch && batch->writes(); }
    };

    /// One service for everything (tests, tools).
    explicit Dispatcher(PriceService& service) : Dispatcher(service, service, ServerOptions{}) {}
    /// reads serves the three reading methods, writes SetPrecDif, so that a long store
    /// does not hold up lookups when they are two services over two connections. The
    /// options give the token (empty: no authentication), the login lockout, the calls'
    /// deadlines and the log.
    Dispatcher(PriceService& reads, PriceService& writes, const ServerOptions& options);

    /// Looks at a line without touching the database: parses it, authenticates, checks
    /// the method and its arguments' bounds. Never throws for anything a peer sends.
    Step prepare(std::string_view line, Session& session);
    /// Runs a prepared call against the database: its answer line (without "\n"), or
    /// nullopt for a notification. Never throws.
    std::optional<std::string> complete(const Call& call, const Session& session);
    /// Runs a batch's calls one after another: the batch's answer line, or nullopt when
    /// it holds nothing to answer. Never throws.
    std::optional<std::string> complete(const Batch& batch, const Session& session);
    /// The answer line of a prepared step: completes its call or batch, if any.
    std::optional<std::string> finish(const Step& step, const Session& session);

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
    void setToken(std::string token);
    /// Where calls, logins and database errors are counted.
    Metrics& metrics() { return metrics_; }

    /// Makes the next call of method (its short name, letter case ignored) answer an error
    /// with this message without running.
    void failNext(const std::string& method, const std::string& message);

private:
    std::optional<std::string> takeFailure(const std::string& method);
    Step route(std::string_view line, Session& session);
    Step routeBatch(std::string_view line, Session& session);
    Step routeRequest(const wire::Request& request, Session& session);
    /// The answer to a message that is no request, or the refusal when the gate is shut.
    Step reject(const wire::RequestError& error, Session& session);
    std::string greet(const wire::Request& request, Session& session);
    std::optional<std::string> authenticate(const nlohmann::json& id, const nlohmann::json& params,
                                            Session& session);
    std::string refuseUnauthenticated(const nlohmann::json& id, Session& session);
    /// Logs a failure the peer must not see the inside of, and gives its occurrence
    /// name.
    std::string record(const Call& call, const Session& session, std::string_view detail);
    /// Logs and counts one call that ended: its result (rows written) or its error.
    void finished(const std::string& method, const Session& session, Clock::time_point arrived,
                  const nlohmann::json* result, std::string_view error);
    /// Logs and counts a refused login.
    void refusedLogin(const Session& session, std::string_view reason, std::string message);
    bool tokenRequired() const;
    std::string token() const;

    PriceService& reads_;
    PriceService& writes_;
    std::string token_;  // guarded by mutex_: SIGHUP replaces it
    std::chrono::milliseconds lookupTimeout_;
    std::chrono::milliseconds storeTimeout_;
    Log& log_;
    Metrics ownMetrics_;
    Metrics& metrics_;
    mutable std::mutex mutex_;  // guards token_, failures_ and throttle_
    std::map<std::string, std::string> failures_;  // lower-case short method -> message
    AuthThrottle throttle_;
    Occurrences occurrences_;
};

}  // namespace server
