#pragma once
// One client socket: reads request lines, answers each in order.

#include <array>
#include <memory>
#include <string>

#include <asio.hpp>

#include "protocol/LineFramer.h"

namespace server {

class ConnectionManager;
class Dispatcher;

/// A connection runs on its own strand: it reads, answers every complete line through the
/// dispatcher, writes the answers, then reads again. Owned by the ConnectionManager.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(asio::ip::tcp::socket socket, ConnectionManager& manager, Dispatcher& dispatcher,
               std::size_t frameLimit);
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    /// Starts reading.
    void start();
    /// Ends the connection once the answers being written are sent.
    void stop();
    /// Ends the connection now.
    void close();
    /// Closes the socket; called by the manager from the connection's strand.
    void closeSocket();

private:
    void read();
    void onRead(const std::error_code& error, std::size_t bytes);
    void write();

    asio::ip::tcp::socket socket_;
    ConnectionManager& manager_;
    Dispatcher& dispatcher_;
    wire::LineFramer framer_;
    std::array<char, 16384> buffer_{};
    std::string outgoing_;
    bool writing_ = false;
    bool stopping_ = false;
};

}  // namespace server
