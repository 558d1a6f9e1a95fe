#pragma once
// Who may call: the token a connection presents with rpc.auth before anything else, and
// the lockout of addresses that fail to present it too often.

#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

#include "server/rpc/AuthThrottle.h"
#include "server/rpc/Call.h"
#include "server/rpc/CallLog.h"
#include "server/rpc/RpcOptions.h"

namespace server {

/// With a token, a connection must log in (rpc.auth with the token) before anything else;
/// every refusal ends the connection (Session::closeAfterAnswer) and is logged, and an
/// address that fails too often is locked out for a while, when even the right token is
/// refused. Without a token rpc.auth is answered true and nothing is refused.
/// Thread-safe.
class Gate {
public:
    Gate(const RpcOptions& options, CallLog& log);

    /// True when the session must log in before anything else it sends.
    bool shut(const Session& session) const;
    /// The answer line to rpc.auth with these params: true (the session is logged in), or
    /// its refusal.
    std::string authenticate(const nlohmann::json& id, const nlohmann::json& params,
                             Session& session);
    /// The answer line to anything else a session sends while the gate is shut: a
    /// refusal.
    std::string refuse(const nlohmann::json& id, Session& session);
    /// Replaces the token from now on; sessions already logged in stay so. An empty token
    /// is refused (std::invalid_argument).
    void setToken(std::string token);

private:
    CallLog& log_;
    mutable std::mutex mutex_;  // guards token_ and throttle_
    std::string token_;         // SIGHUP replaces it
    AuthThrottle throttle_;
};

}  // namespace server
