#pragma once
// What a vnd-server is told besides its database and address: limits, timeouts, the
// access token and the TLS certificate.

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <string>
#include <thread>

#include "protocol/LineFramer.h"
#include "server/rpc/RpcOptions.h"

namespace server {

class Log;
class Metrics;

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
    /// Threads that run lookups against the database (0: twice the cores, 4 to 16, and
    /// at least twice the reading connections); stores have four of their own.
    unsigned workerThreads = 0;
    /// Connections the lookups read the database on, each serving one call at a time
    /// (0: the cores, at least 1). A SQLite file that is not in WAL mode gets one.
    unsigned readConnections = 0;
    /// Bytes of reference data, periods, holidays and products' prices and rules the
    /// server holds in memory to answer from (0: none; every call reads the database).
    std::size_t cacheBytes = std::size_t{256} << 20;

    /// A TLS handshake and, where a token is asked for, rpc.auth must be done within this
    /// time of the connection's start; a connection that has not logged in yet holds its
    /// slot no longer than that.
    std::chrono::milliseconds authTimeout = std::chrono::seconds(10);
    /// Connections not yet logged in, at most, among maxConnections; a new one then
    /// closes the one that has waited longest (0: a quarter of maxConnections, at least 1
    /// and at most 64).
    std::size_t maxUnauthenticated = 0;
    /// Failed logins from one address within authWindow that lock it out for authLockout.
    int authFailures = 5;
    std::chrono::seconds authWindow = std::chrono::seconds(60);
    std::chrono::seconds authLockout = std::chrono::seconds(60);

    /// A lookup is answered within this time of its arrival, whatever the database does:
    /// past it, the caller is told the database did not answer in time.
    std::chrono::milliseconds dbTimeout = std::chrono::seconds(15);
    /// The same for a store, which may write a million rows.
    std::chrono::milliseconds storeTimeout = std::chrono::minutes(5);
    /// Connecting to the database must succeed within this time.
    std::chrono::milliseconds dbConnectTimeout = std::chrono::seconds(5);
    /// TCP keepalives on the database connection: first probe after this idle time.
    std::chrono::seconds dbKeepalive = std::chrono::seconds(30);
    /// Days the change log keeps its rows (the newest is always kept).
    int changeLogDays = 30;
    /// While a monitor reads /healthz, the database is asked this often whether it answers
    /// (on a connection of its own, off the page's thread).
    std::chrono::milliseconds healthInterval = std::chrono::seconds(5);
    /// On stop, calls under way get this long to finish and send their answers; a call
    /// still running then is abandoned, rolled back, and its client told so.
    std::chrono::milliseconds shutdownGrace = std::chrono::minutes(5);

    /// Where the server logs (nullptr: standard error).
    Log* log = nullptr;
    /// Where the server counts its calls for /metrics (nullptr: the server's own).
    Metrics* metrics = nullptr;

    /// The reading connections asked for.
    unsigned readConnectionCount() const {
        return readConnections != 0 ? readConnections
                                    : std::max(1u, std::thread::hardware_concurrency());
    }

    /// The unauthenticated cap in force.
    std::size_t unauthenticatedLimit() const {
        if (maxUnauthenticated != 0) {
            return maxUnauthenticated;
        }
        return std::clamp<std::size_t>(maxConnections / 4, 1, 64);
    }

    /// What of these the dispatcher is told.
    RpcOptions rpc() const {
        RpcOptions o;
        o.token = token;
        o.authFailures = authFailures;
        o.authWindow = authWindow;
        o.authLockout = authLockout;
        o.lookupTimeout = dbTimeout;
        o.storeTimeout = storeTimeout;
        o.log = log;
        o.metrics = metrics;
        return o;
    }
};

}  // namespace server
