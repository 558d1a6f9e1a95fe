#pragma once
// A server's listening socket, and who of those it accepts is served.

#include <atomic>
#include <functional>
#include <string>

#include "protocol/Asio.h"

namespace server {

class ConnectionManager;
class Log;
class SocketLoops;
struct ConnectionContext;
struct ServerOptions;

/// Listens, accepts on its own strand and admits: connections that have not logged in
/// have a cap of their own, below the cap of all connections, and over the cap of all
/// connections a peer is told the server is busy. Each connection accepted is handed to
/// the next socket loop in turn.
class Acceptor {
public:
    Acceptor(SocketLoops& loops, ConnectionManager& manager, const ServerOptions& options,
             Log& log);
    Acceptor(const Acceptor&) = delete;
    Acceptor& operator=(const Acceptor&) = delete;

    /// Listens on host:port ("0": a free port). Throws std::runtime_error (Portuguese
    /// text) for a port that cannot be listened on, an address other than loopback
    /// without a token, or with a token but neither TLS nor allowPlainText.
    void listen(const std::string& host, const std::string& port);
    /// The port listened on.
    unsigned short port() const;
    /// Accepts from now on; every connection is made from context, which must outlive
    /// the acceptor's strand.
    void start(const ConnectionContext& context);
    /// Runs work on the strand where connections are made, so that none is being made
    /// meanwhile.
    void post(std::function<void()> work);
    /// Stops accepting and asks every connection to end after its answer under way;
    /// closed() turns true once done.
    void close();
    bool closed() const { return closed_; }

private:
    void accept();
    void admit(asio::ip::tcp::socket socket);
    void refuse(asio::ip::tcp::socket socket);

    SocketLoops& loops_;
    ConnectionManager& manager_;
    const ServerOptions& options_;
    Log& log_;
    const ConnectionContext* context_ = nullptr;
    asio::strand<asio::io_context::executor_type> strand_;
    asio::ip::tcp::acceptor acceptor_{strand_};
    asio::steady_timer pause_{strand_};
    std::atomic<bool> closed_{false};
};

}  // namespace server
