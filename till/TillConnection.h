#pragma once
// The till's one connection to the server: JSON-RPC lines over TCP or TLS, the token sent
// first, opened on the first call and again after it broke.

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "protocol/NetSettings.h"

namespace till {

/// Calls one at a time; not for use from two threads at once.
class TillConnection {
public:
    /// settings: the token, the TLS authority and the timeouts (NetSettings::fromEnvironment
    /// and the command line's options).
    TillConnection(std::string host, int port, wire::NetSettings settings);
    ~TillConnection();
    TillConnection(const TillConnection&) = delete;
    TillConnection& operator=(const TillConnection&) = delete;

    /// Calls Vnd42400.rdmTabePreco.METHOD with positional params and gives its result.
    /// `wait` is how long the server may hold the answer back on purpose (a long wait),
    /// on top of the call timeout. stop (may be null): when it becomes true while the call
    /// waits, the call is given up (the connection closed) and nullopt returned. Throws
    /// LinkDown when the server cannot be reached or does not answer in time, and
    /// wire::RpcError with the server's code and text when it refuses the call.
    std::optional<nlohmann::json> call(const std::string& method, const nlohmann::json& params,
                                       std::chrono::milliseconds wait = {},
                                       const std::atomic<bool>* stop = nullptr);
    /// "HOST:PORT".
    std::string where() const;
    /// Closes the connection; the next call opens it again.
    void close();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace till
