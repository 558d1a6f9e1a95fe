#include "Connection.h"

#include "ConnectionManager.h"
#include "Dispatcher.h"

namespace server {

Connection::Connection(asio::ip::tcp::socket socket, ConnectionManager& manager,
                       Dispatcher& dispatcher, std::size_t frameLimit)
    : socket_(std::move(socket)), manager_(manager), dispatcher_(dispatcher), framer_(frameLimit) {}

void Connection::start() {
    asio::post(socket_.get_executor(), [self = shared_from_this()] { self->read(); });
}

void Connection::stop() {
    asio::post(socket_.get_executor(), [self = shared_from_this()] {
        self->stopping_ = true;
        // Idle: the pending read is cancelled and ends the connection. Writing: the
        // answer already computed is sent first, then the write handler ends it.
        if (!self->writing_) {
            self->manager_.remove(self);
        }
    });
}

void Connection::close() {
    asio::post(socket_.get_executor(),
               [self = shared_from_this()] { self->manager_.remove(self); });
}

void Connection::closeSocket() {
    std::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
}

void Connection::read() {
    if (stopping_) {
        manager_.remove(shared_from_this());
        return;
    }
    socket_.async_read_some(asio::buffer(buffer_),
                            [self = shared_from_this()](const std::error_code& e, std::size_t n) {
                                self->onRead(e, n);
                            });
}

void Connection::onRead(const std::error_code& error, std::size_t bytes) {
    if (error) {
        manager_.remove(shared_from_this());
        return;
    }
    // Every line that arrived is answered before more is read, so a client that sends
    // faster than it reads is held back by TCP instead of by our memory.
    for (wire::Frame& frame : framer_.feed(std::string_view(buffer_.data(), bytes))) {
        if (frame.kind == wire::Frame::Kind::Oversized) {
            outgoing_ += Dispatcher::oversized(framer_.limit());
            outgoing_ += '\n';
        } else if (auto answer = dispatcher_.handle(frame.text)) {
            outgoing_ += *answer;
            outgoing_ += '\n';
        }
    }
    if (outgoing_.empty()) {
        read();
    } else {
        write();
    }
}

void Connection::write() {
    writing_ = true;
    asio::async_write(socket_, asio::buffer(outgoing_),
                      [self = shared_from_this()](const std::error_code& e, std::size_t) {
                          self->writing_ = false;
                          self->outgoing_.clear();
                          if (e || self->stopping_) {
                              self->manager_.remove(self);
                              return;
                          }
                          self->read();
                      });
}

}  // namespace server
