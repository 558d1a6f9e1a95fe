#pragma once
// Turns one request line into one answer line: no sockets, no threads of its own.
//
// Authentication. When the server has a token, the first message of every connection
// must be the call
//     {"jsonrpc":"2.0","id":1,"method":"rpc.auth","params":["<token>"]}
// answered by {"result":true}. Until then every line, whatever it holds, is answered by
// an error with code -32001 and the connection is closed after that answer; a wrong
// token is answered and closed the same way. Without a token (loopback only) rpc.auth
// is accepted and answered true, so a client given a token also talks to such a server,
// and clients that never send it work as before.

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "PriceService.h"

namespace server {

/// The name of the one remote object this server hosts.
inline constexpr std::string_view kObjectName = "Vnd42400.rdmTabePreco";
/// The method a connection authenticates with.
inline constexpr std::string_view kAuthMethod = "rpc.auth";

/// Routes "Vnd42400.rdmTabePreco.<method>" calls to the service and writes the answer.
/// Thread-safe.
class Dispatcher {
public:
    /// What the dispatcher knows of one connection; touched by one call at a time.
    struct Session {
        bool authenticated = false;
        bool closeAfterAnswer = false;  ///< set when the connection must end now
    };

    /// One service for everything (tests, tools).
    explicit Dispatcher(PriceService& service) : Dispatcher(service, service, {}) {}
    /// reads serves the three reading methods, writes SetPrecDif, so that a long store
    /// does not hold up lookups when they are two services over two connections. An
    /// empty token asks for no authentication.
    Dispatcher(PriceService& reads, PriceService& writes, std::string token);

    /// The answer line (without "\n") for a request line; nullopt for a well-formed
    /// notification, which gets no answer. Never throws for anything a peer sends.
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
    std::optional<std::string> route(std::string_view line, Session& session);
    nlohmann::json store(const std::string& method, const nlohmann::json& params);

    PriceService& reads_;
    PriceService& writes_;
    std::string token_;
    std::mutex mutex_;
    std::map<std::string, std::string> failures_;  // lower-case short method -> message
};

}  // namespace server
