#pragma once
// What a vnd-server is told besides its database and address: limits, timeouts, the
// access token and the TLS certificate.

#include <chrono>
#include <cstddef>
#include <string>

#include "protocol/LineFramer.h"

namespace server {

/// Limits and security settings of one server. The defaults serve the screens of one
/// store on loopback; every limit protects the server from one misbehaving peer.
struct ServerOptions {
    /// Longest request line, without its newline.
    std::size_t frameLimit = wire::kDefaultFrameLimit;
    /// Connections open at once; one more is told the server is busy and closed.
    std::size_t maxConnections = 256;
    /// A connection with no request under way is closed after this long (the screen
    /// reconnects by itself at its next call).
    std::chrono::milliseconds idleTimeout = std::chrono::minutes(10);
    /// A request must arrive whole within this time of its first byte, and a TLS
    /// handshake must end within it, so a peer sending a byte now and then cannot keep a
    /// connection for ever.
    std::chrono::milliseconds requestTimeout = std::chrono::minutes(2);
    /// An answer must be taken by the peer within this time.
    std::chrono::milliseconds writeTimeout = std::chrono::minutes(2);
    /// The shared secret every connection must present (rpc.auth) before any call; empty
    /// for none, which is allowed on a loopback address only.
    std::string token;
    /// PEM certificate chain and private key: with both, connections speak TLS only.
    std::string tlsCertificateFile;
    std::string tlsKeyFile;
    /// Serve with a token but without TLS on an address other than loopback, where the
    /// token would cross the network in clear text; refused unless this says it is meant.
    bool allowPlainText = false;
    /// Threads that run calls against the database (0: chosen from the cores).
    unsigned workerThreads = 0;
};

}  // namespace server
