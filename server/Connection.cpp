#include "Connection.h"

#include <cctype>

#include "ConnectionManager.h"

namespace server {

using Clock = std::chrono::steady_clock;

Connection::Connection(asio::ip::tcp::socket socket, const ConnectionContext& context)
    : stream_(std::move(socket), context.tls),
      timer_(stream_.get_executor()),
      context_(context),
      framer_(context.options.frameLimit) {}

void Connection::start() {
    asio::post(stream_.get_executor(), [self = shared_from_this()] {
        if (!self->context_.useTls) {
            // Writes are tried at once and left to the event loop only when the socket
            // cannot take them (see write()).
            std::error_code ignored;
            self->stream_.next_layer().non_blocking(true, ignored);
            self->read();
            return;
        }
        // A peer that opens a connection and never finishes the handshake is held to the
        // same deadline as one that never finishes a request.
        self->arm(Clock::now() + self->context_.options.requestTimeout);
        self->stream_.async_handshake(asio::ssl::stream_base::server,
                                      [self](const std::error_code& e) {
                                          if (e) {
                                              self->end();
                                              return;
                                          }
                                          self->read();
                                      });
    });
}

void Connection::stop() {
    asio::post(stream_.get_executor(), [self = shared_from_this()] {
        self->stopping_ = true;
        // Idle: the connection ends now. Busy: the answer being computed or written is
        // sent first, then write() ends it.
        if (!self->busy_) {
            self->end();
        }
    });
}

void Connection::close() {
    asio::post(stream_.get_executor(), [self = shared_from_this()] { self->end(); });
}

void Connection::closeSocket() {
    std::error_code ignored;
    timer_.cancel();
    stream_.next_layer().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    stream_.next_layer().close(ignored);
}

void Connection::end() {
    if (!ended_) {
        ended_ = true;
        context_.manager.remove(shared_from_this());
    }
}

// One timer per connection, re-armed only when a deadline comes sooner than the one it
// waits for: moving a deadline later (every request does) is a store into deadline_,
// not a system call. When it fires it ends the peer only if the current deadline has
// passed; otherwise it waits again for that one.
void Connection::arm(Clock::time_point deadline) {
    deadline_ = deadline;
    if (deadline < timerExpiry_) {
        waitFor(deadline);
    }
}

void Connection::disarm() {
    deadline_ = Clock::time_point::max();
}

void Connection::waitFor(Clock::time_point expiry) {
    timerExpiry_ = expiry;
    timer_.expires_at(expiry);  // a wait it replaces ends with operation_aborted
    timer_.async_wait([self = shared_from_this()](const std::error_code& e) {
        if (e || self->ended_) {
            return;
        }
        if (Clock::now() >= self->deadline_) {
            self->end();
        } else if (self->deadline_ != Clock::time_point::max()) {
            self->waitFor(self->deadline_);
        } else {
            self->timerExpiry_ = Clock::time_point::max();  // disarmed: the next arm waits
        }
    });
}

void Connection::read() {
    if (stopping_ || ended_) {
        end();
        return;
    }
    // Between requests the peer may stay quiet for the idle time; once a request has
    // begun it must end within the request time, however slowly its bytes come.
    arm(midLine_ ? requestStarted_ + context_.options.requestTimeout
                 : Clock::now() + context_.options.idleTimeout);
    auto handler = [self = shared_from_this()](const std::error_code& e, std::size_t n) {
        self->onRead(e, n);
    };
    if (context_.useTls) {
        stream_.async_read_some(asio::buffer(buffer_), std::move(handler));
    } else {
        stream_.next_layer().async_read_some(asio::buffer(buffer_), std::move(handler));
    }
}

void Connection::onRead(const std::error_code& error, std::size_t bytes) {
    if (error || ended_) {
        end();
        return;
    }
    const std::string_view data(buffer_.data(), bytes);
    if (!midLine_ && bytes > 0) {
        requestStarted_ = Clock::now();
    }
    const bool endsLine = bytes > 0 && data.back() == '\n';
    if (bytes > 0) {
        midLine_ = !endsLine;
        // A piece that finishes one line and starts the next restarts the request clock.
        if (!endsLine && data.find('\n') != std::string_view::npos) {
            requestStarted_ = Clock::now();
        }
    }
    std::vector<wire::Frame> frames = framer_.feed(data);
    if (frames.empty()) {
        read();
        return;
    }
    disarm();
    busy_ = true;
    // A short lookup is answered on this connection's own thread: handing it to a worker
    // and back costs more than the lookup itself.
    if (quickLookups(frames)) {
        deliver(answer(std::move(frames)));
        return;
    }
    // The calls run on a worker: a store of many rows then holds a worker, not one of
    // the threads every socket needs, and lookups of other screens go on meanwhile. No
    // more is read until these lines are answered, so a client that sends faster than
    // it reads is held back by TCP instead of by our memory.
    asio::post(context_.workers, [self = shared_from_this(), frames = std::move(frames)]() mutable {
        std::string out = self->answer(std::move(frames));
        asio::post(self->stream_.get_executor(),
                   [self, out = std::move(out)]() mutable { self->deliver(std::move(out)); });
    });
}

bool Connection::quickLookups(const std::vector<wire::Frame>& frames) {
    constexpr std::size_t kQuickLine = 1024;
    for (const wire::Frame& frame : frames) {
        if (frame.kind != wire::Frame::Kind::Line || frame.text.size() > kQuickLine) {
            return false;
        }
        // Method names are matched regardless of letter case; a store never runs here.
        std::string lower(frame.text);
        for (char& c : lower) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (lower.find("setprecdif") != std::string::npos) {
            return false;
        }
    }
    return true;
}

std::string Connection::answer(std::vector<wire::Frame> frames) {
    std::string out;
    for (wire::Frame& frame : frames) {
        if (session_.closeAfterAnswer) {
            break;  // nothing after a refused authentication is read, let alone answered
        }
        if (frame.kind == wire::Frame::Kind::Oversized) {
            out += Dispatcher::oversized(framer_.limit());
            out += '\n';
        } else if (auto line = context_.dispatcher.handle(frame.text, session_)) {
            out += *line;
            out += '\n';
        }
    }
    return out;
}

void Connection::deliver(std::string out) {
    outgoing_ = std::move(out);
    if (outgoing_.empty()) {
        busy_ = false;
        read();
    } else {
        write();
    }
}

void Connection::write() {
    if (ended_) {
        return;
    }
    std::size_t sent = 0;
    if (!context_.useTls) {
        // A short answer fits the socket's buffer: sent here at once, it needs neither a
        // deadline nor a trip through the event loop.
        std::error_code error;
        sent = stream_.next_layer().write_some(asio::buffer(outgoing_), error);
        if (error == asio::error::would_block || error == asio::error::try_again) {
            sent = 0;  // the socket is full: the event loop writes it all
        } else if (error || sent == outgoing_.size()) {
            written(error);
            return;
        }
    }
    arm(Clock::now() + context_.options.writeTimeout);
    auto handler = [self = shared_from_this()](const std::error_code& e, std::size_t) {
        self->written(e);
    };
    if (context_.useTls) {
        asio::async_write(stream_, asio::buffer(outgoing_), std::move(handler));
    } else {
        asio::async_write(stream_.next_layer(), asio::buffer(outgoing_) + sent, std::move(handler));
    }
}

void Connection::written(const std::error_code& error) {
    busy_ = false;
    outgoing_.clear();
    disarm();
    if (error || stopping_ || session_.closeAfterAnswer) {
        end();
        return;
    }
    read();
}

}  // namespace server
