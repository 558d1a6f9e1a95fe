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

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "AuthThrottle.h"
#include "PriceService.h"
#include "ServerOptions.h"

namespace server {

class Log;

/// The name of the one remote object this server hosts.
inline constexpr std::string_view kObjectName = "Vnd42400.rdmTabePreco";
/// The method a connection authenticates with.
inline constexpr std::string_view kAuthMethod = "rpc.auth";
/// The notification with which a client names the user and the station (rpc.hello).
inline constexpr std::string_view kHelloMethod = "rpc.hello";

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
        std::string user;               ///< as the client's rpc.hello named it; "" without one
        std::string station;            ///< as the client's rpc.hello named it; "" without one
    };

    /// A checked call of the object's methods that needs the database: prepared where
    /// the bytes arrive, completed on a thread that may wait for the database.
    struct Call {
        nlohmann::json id;
        std::string method;  ///< the short name as sent
        nlohmann::json params;
        bool notification = false;
        bool writes = false;  ///< SetPrecDif
        Clock::time_point deadline;
    };

    /// What one line asks for: an answer given at once (or none, for a notification), or
    /// a call to complete.
    struct Step {
        std::optional<std::string> answer;
        std::optional<Call> call;
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

    /// prepare and complete in one: the answer line (without "\n") for a request line;
    /// nullopt for a well-formed notification, which gets no answer. Never throws.
    std::optional<std::string> handle(std::string_view line, Session& session);
    /// The same for a connection of its own (a one-line session).
    std::optional<std::string> handle(std::string_view line);
    /// The answer to a frame that went over the size limit.
    static std::string oversized(std::size_t limit);
    /// The line sent to a connection refused because too many are open.
    static std::string busy(std::size_t limit);

    /// Makes the next call of method (its short name, letter case ignored) answer an error
    /// with this message without running.
    void failNext(const std::string& method, const std::string& message);

private:
    std::optional<std::string> takeFailure(const std::string& method);
    Step route(std::string_view line, Session& session);
    std::optional<std::string> authenticate(const nlohmann::json& id, const nlohmann::json& params,
                                            Session& session);
    std::string refuseUnauthenticated(const nlohmann::json& id, Session& session);
    /// Logs a failure the peer must not see the inside of, and gives its occurrence
    /// number.
    long record(const Call& call, const Session& session, std::string_view detail);

    PriceService& reads_;
    PriceService& writes_;
    std::string token_;
    std::chrono::milliseconds lookupTimeout_;
    std::chrono::milliseconds storeTimeout_;
    Log& log_;
    std::mutex mutex_;  // guards failures_ and throttle_
    std::map<std::string, std::string> failures_;  // lower-case short method -> message
    AuthThrottle throttle_;
    std::atomic<long> occurrences_{0};
};

}  // namespace server
