#pragma once
// The application server: the remote object "Vnd42400.rdmTabePreco" on a TCP port.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "server/ops/Metrics.h"
#include "server/net/ServerOptions.h"
#include "protocol/LineFramer.h"

namespace server {

/// A JSON-RPC server over one database, serving on its own threads. The program
/// `vnd-server serve` and the scenario runner both use it.
class Server {
public:
    /// dbUrl: "sqlite:PATH" or "postgresql://..."; listen: "HOST:PORT" (port 0 picks a
    /// free port at the first start). Nothing is opened yet.
    Server(std::string dbUrl, std::string listen = "127.0.0.1:7400",
           std::size_t frameLimit = wire::kDefaultFrameLimit);
    /// The same with every limit and security setting given.
    Server(std::string dbUrl, std::string listen, ServerOptions options);
    /// Stops the server when running.
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    /// Opens the database (upgrading one of an older schema first, every row kept) and
    /// returns once the port listens. A later start after stop() listens on the same
    /// port again. Throws std::runtime_error (Portuguese text) for a database that cannot
    /// be opened, was never initialised or is of a newer schema, a port in use, an
    /// address other than loopback without a token, or with a token but neither TLS nor
    /// allowPlainText, or a TLS certificate or key that cannot be read.
    void start();
    /// Stops accepting, lets the answers in flight be sent, closes every connection,
    /// waits for the calls under way and closes the database; the lines the server logged
    /// are then written (a log that takes nothing is given two seconds). Harmless when not
    /// running.
    void stop();
    bool running() const;
    /// The port listened on (known after the first start).
    unsigned short port() const;

    /// Takes a new token (when given: connections logged in stay so, new ones must
    /// present it) and reads the TLS certificate and key files again, for the
    /// connections made from now on; no connection is dropped. A certificate or key that
    /// cannot be read, or a token that is empty, changes nothing and throws
    /// std::runtime_error (Portuguese text). Only while running.
    void reload(const std::optional<std::string>& token);
    /// What was wrong with the database when last asked (for /healthz), a line per fault;
    /// empty when it answered and its role lacked no privilege the server needs. Never
    /// waits. While running, from the first call on, the database is asked every
    /// healthInterval on a connection and a thread of their own; an answer older than two
    /// intervals and two connect timeouts counts as kDatabaseUnavailable, and so does a
    /// server not running.
    std::string healthProblem();
    /// The server's counters (kept across stop and start).
    Metrics& metrics();

    /// Test hook: the next call of method (short name, e.g. "SetPrecDif") answers a
    /// JSON-RPC error with this message and stores nothing.
    void failNext(const std::string& method, const std::string& message);
    /// Rows in PRECDIF (opens the database for the count when not running). While the
    /// count waits for the database, the server's other members do not wait for it; a
    /// stop() meanwhile interrupts it (std::runtime_error) and the database is closed
    /// when it ends.
    long countRules();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace server
