#include "EchoServer.h"

#include <thread>

#include "protocol/Asio.h"

namespace bench {

using asio::ip::tcp;

struct EchoServer::Impl {
    asio::io_context io;
    tcp::acceptor acceptor{io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)};
    std::string reply;
    std::thread thread;

    void serve() {
        std::error_code error;
        tcp::socket socket(io);
        acceptor.accept(socket, error);
        std::string pending;
        while (!error) {
            const std::size_t n =
                asio::read_until(socket, asio::dynamic_buffer(pending), '\n', error);
            if (error) {
                break;
            }
            pending.erase(0, n);
            asio::write(socket, asio::buffer(reply), error);
        }
    }
};

EchoServer::EchoServer(std::string reply) : impl_(std::make_unique<Impl>()) {
    impl_->reply = std::move(reply);
    impl_->thread = std::thread([this] { impl_->serve(); });
}

EchoServer::~EchoServer() {
    // A client that never came leaves accept waiting: one connection releases it.
    {
        std::error_code ignored;
        asio::io_context io;
        tcp::socket poke(io);
        poke.connect(impl_->acceptor.local_endpoint(), ignored);
    }
    impl_->thread.join();
}

unsigned short EchoServer::port() const {
    return impl_->acceptor.local_endpoint().port();
}

struct EchoClient::Impl {
    asio::io_context io;
    tcp::socket socket{io};
    std::string pending;
};

EchoClient::EchoClient(unsigned short port) : impl_(std::make_unique<Impl>()) {
    impl_->socket.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
}

EchoClient::~EchoClient() = default;

std::size_t EchoClient::roundTrip(const std::string& line) {
    asio::write(impl_->socket, asio::buffer(line));
    const std::size_t n =
        asio::read_until(impl_->socket, asio::dynamic_buffer(impl_->pending), '\n');
    impl_->pending.erase(0, n);
    return n;
}

}  // namespace bench
