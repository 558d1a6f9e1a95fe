#pragma once
// Where a server listens, as given: "HOST:PORT".

#include <string>

#include "protocol/Asio.h"

namespace server {

struct ServerOptions;

/// A listening address taken apart: the host (an IPv6 address without its brackets) and
/// the port (digits; "0" picks a free port).
struct ListenAddress {
    std::string host;
    std::string port;

    /// Parses "HOST:PORT" ("[::1]:7400" for IPv6). Throws std::invalid_argument
    /// (Portuguese text) for a text without a host or a port, or a port that is no number
    /// up to 65535.
    static ListenAddress parse(const std::string& text);
    /// Resolves the address and checks that the options allow serving there: off loopback
    /// only with a token, and with a token only over TLS unless allowPlainText. Binds
    /// nothing. Throws std::runtime_error (Portuguese text) naming the address.
    asio::ip::tcp::endpoint admitted(asio::io_context& io, const ServerOptions& options) const;
    /// Whether address is a loopback address (an IPv4 one mapped into IPv6 included).
    static bool isLoopback(const asio::ip::address& address);
};

}  // namespace server
