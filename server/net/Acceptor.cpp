#include "server/net/Acceptor.h"

#include <chrono>
#include <memory>
#include <stdexcept>

#include "server/net/Connection.h"
#include "server/net/ConnectionManager.h"
#include "server/net/ListenAddress.h"
#include "server/net/ServerOptions.h"
#include "server/net/SocketLoops.h"
#include "server/ops/Log.h"
#include "server/rpc/Dispatcher.h"

namespace server {

Acceptor::Acceptor(SocketLoops& loops, ConnectionManager& manager, const ServerOptions& options,
                   Log& log)
    : loops_(loops),
      manager_(manager),
      options_(options),
      log_(log),
      strand_(asio::make_strand(loops.first())) {}

void Acceptor::listen(const std::string& host, const std::string& port) {
    const ListenAddress address{host, port};
    const auto endpoint = address.admitted(loops_.first(), options_);
    try {
        acceptor_.open(endpoint.protocol());
        // A restart finds the port's old connections in TIME_WAIT; they must not stop it.
        acceptor_.set_option(asio::ip::tcp::acceptor::reuse_address(true));
        acceptor_.bind(endpoint);
        acceptor_.listen();
    } catch (const std::system_error& e) {
        throw std::runtime_error("Não foi possível escutar em " + host + ":" + port + ": " +
                                 e.code().message());
    }
}

unsigned short Acceptor::port() const {
    return acceptor_.local_endpoint().port();
}

void Acceptor::start(const ConnectionContext& context) {
    context_ = &context;
    accept();
}

void Acceptor::post(std::function<void()> work) {
    asio::post(strand_, std::move(work));
}

void Acceptor::close() {
    asio::post(strand_, [this] {
        std::error_code ignored;
        acceptor_.close(ignored);
        pause_.cancel();
        manager_.stopAll();
        closed_ = true;
    });
}

void Acceptor::accept() {
    acceptor_.async_accept(loops_.next().get_executor(), [this](const std::error_code& error,
                                                                asio::ip::tcp::socket socket) {
        if (!acceptor_.is_open()) {
            return;
        }
        if (error) {
            // Out of descriptors, or a peer that reset before we took it: failing again at
            // once would spin a thread; a short pause lets closing connections give their
            // descriptors back.
            pause_.expires_after(std::chrono::milliseconds(50));
            pause_.async_wait([this](const std::error_code& e) {
                if (!e && acceptor_.is_open()) {
                    accept();
                }
            });
            return;
        }
        // Answers are single short lines: sending them at once beats waiting to coalesce
        // them with data that never comes. Keepalives find peers that vanished without
        // closing (a till switched off).
        std::error_code ignored;
        socket.set_option(asio::ip::tcp::no_delay(true), ignored);
        socket.set_option(asio::socket_base::keep_alive(true), ignored);
        admit(std::move(socket));
        accept();
    });
}

// When the cap of connections not logged in is reached, the one that has waited longest
// makes room, so peers that never log in cannot keep a real client out (whose login takes
// a round trip or two), and each holds a slot for the login time at most. Over the cap of
// all connections a TLS peer is told the server is busy after the handshake, so that it
// can read the notice.
void Acceptor::admit(asio::ip::tcp::socket socket) {
    const bool tls = !options_.tlsCertificateFile.empty();
    if (manager_.pending() >= options_.unauthenticatedLimit()) {
        if (auto oldest = manager_.takeOldestPending()) {
            oldest->close();
        }
    }
    const bool full = manager_.size() >= options_.maxConnections;
    if (full && !tls) {
        refuse(std::move(socket));
        return;
    }
    manager_.start(std::make_shared<Connection>(std::move(socket), *context_, full));
}

// One plain-text connection too many is told why before it is closed; the line fits any
// socket buffer, and a peer that does not read it loses only the notice.
void Acceptor::refuse(asio::ip::tcp::socket socket) {
    std::error_code ignored;
    const auto peer = socket.remote_endpoint(ignored);
    log_.event(LogLevel::Warning, "connection-refused",
               {{"peer", ignored ? std::string("?") : peer.address().to_string()},
                {"reason", "busy"},
                {"max-connections", std::to_string(options_.maxConnections)}});
    const std::string line = Dispatcher::busy(options_.maxConnections) + "\n";
    socket.non_blocking(true, ignored);
    socket.write_some(asio::buffer(line), ignored);
    socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket.close(ignored);
}

}  // namespace server
