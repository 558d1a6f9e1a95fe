#include "server/net/Connection.h"

#include <algorithm>

#include "server/net/ConnectionManager.h"
#include "protocol/JsonRpc.h"

namespace server {

using Clock = std::chrono::steady_clock;

Connection::Connection(asio::ip::tcp::socket socket, const ConnectionContext& context,
                       bool refusing)
    : socket_(std::move(socket)),
      timer_(socket_.get_executor()),
      waitTimer_(socket_.get_executor()),
      context_(context),
      framer_(context.options.frameLimit),
      refusing_(refusing) {
    // A plain connection carries no TLS state: thousands of tills wait on such sockets.
    if (context.useTls) {
        tls_ = std::make_unique<asio::ssl::stream<asio::ip::tcp::socket&>>(socket_, context.tls);
    }
    std::error_code error;
    const auto peer = socket_.remote_endpoint(error);
    session_.peer = error ? "?" : peer.address().to_string();
    session_.station = session_.peer;  // until rpc.hello names the workstation
}

void Connection::start() {
    asio::post(socket_.get_executor(), [self = shared_from_this()] {
        // Until it has logged in, a peer holds its slot for the login time at most,
        // whether it stalls in the handshake or never sends rpc.auth.
        self->loginDeadline_ = Clock::now() + self->context_.options.authTimeout;
        self->arm(self->loginDeadline_);
        if (!self->context_.useTls) {
            // Writes are tried at once and left to the event loop only when the socket
            // cannot take them (see write()).
            std::error_code ignored;
            self->socket_.non_blocking(true, ignored);
            self->begin();
            return;
        }
        self->tls_->async_handshake(asio::ssl::stream_base::server,
                                    [self](const std::error_code& e) {
                                        if (e) {
                                            self->end();
                                            return;
                                        }
                                        self->begin();
                                    });
    });
}

// After the handshake: a refusing connection says why and ends; without a token the peer
// is logged in now; then the first request is read.
void Connection::begin() {
    if (refusing_) {
        session_.closeAfterAnswer = true;
        busy_ = true;
        deliver(Dispatcher::busy(context_.options.maxConnections) + "\n");
        return;
    }
    if (context_.options.token.empty()) {
        session_.authenticated = true;
    }
    admitWhenAuthenticated();
    read();
}

void Connection::admitWhenAuthenticated() {
    if (pending_ && session_.authenticated) {
        pending_ = false;
        context_.manager.admitted(shared_from_this());
    }
}

void Connection::stop() {
    asio::post(socket_.get_executor(), [self = shared_from_this()] {
        self->stopping_ = true;
        self->unpark();  // a call waiting for a change is answered now
        // Idle: the connection ends now. Busy: the answer being computed or written is
        // sent first, then write() ends it.
        if (!self->busy_) {
            self->end();
        }
    });
}

void Connection::close() {
    asio::post(socket_.get_executor(), [self = shared_from_this()] { self->end(); });
}

void Connection::closeSocket() {
    std::error_code ignored;
    timer_.cancel();
    socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
}

void Connection::end() {
    if (parked_) {
        context_.waiters.remove(waiterId_);
        waitTimer_.cancel();
        parked_.reset();
    }
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
    // Between requests the peer may stay quiet for the idle time (before it has logged
    // in, for what is left of the login time); once a request has begun it must end
    // within the request time, however slowly its bytes come.
    auto deadline = midLine_ ? requestStarted_ + context_.options.requestTimeout
                             : Clock::now() + context_.options.idleTimeout;
    if (pending_) {
        deadline = std::min(deadline, loginDeadline_);
    }
    arm(deadline);
    auto handler = [self = shared_from_this()](const std::error_code& e, std::size_t n) {
        self->onRead(e, n);
    };
    if (context_.useTls) {
        tls_->async_read_some(asio::buffer(buffer_), std::move(handler));
    } else {
        socket_.async_read_some(asio::buffer(buffer_), std::move(handler));
    }
}

namespace {

// The answers of lines read together are written once this much of them is ready, and
// the lines after them are read on after that: a connection holds one large answer at a
// time, not the answers of every line it sent at once.
constexpr std::size_t kWriteAt = 64 * 1024;

// Lines of a peer that has not logged in are read on the socket thread up to this size,
// so that a login is answered even while every worker waits for the database; an rpc.auth
// is far shorter. A longer line goes to a worker like any other.
constexpr std::size_t kReadInPlace = 4096;

void appendLine(std::string& out, const std::optional<std::string>& line) {
    if (line) {
        out += *line;
        out += '\n';
    }
}

}  // namespace

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
    // No more is read until these lines are answered, so a client that sends faster than
    // it reads is held back by TCP instead of by our memory.
    busy_ = true;
    lines_ = std::move(frames);
    next_ = 0;
    proceed();
}

// What needs neither the database nor the parse of a large line is answered on this
// thread: an oversized line, the short lines of a peer that has not logged in (it can
// only log in or be refused), and a short call the server answers from memory. Everything
// else is run on a worker, which may wait for the database as long as the call's deadline
// allows: a line of megabytes never holds up the other connections of this thread.
void Connection::proceed() {
    std::string out;
    while (next_ < lines_.size() && !session_.closeAfterAnswer) {
        const wire::Frame& frame = lines_[next_];
        const bool small = frame.text.size() <= kReadInPlace;
        if (small && session_.authenticated && frame.kind != wire::Frame::Kind::Oversized &&
            !wire::isBatch(frame.text)) {
            Dispatcher::Step step = prepare(lines_[next_++]);
            std::optional<std::string> line;
            if (context_.dispatcher.answerHeld(step, session_, line)) {
                appendLine(out, line);
            } else if (step.pending()) {
                finishOn(poolFor(step), std::move(out), std::move(step));
                return;
            } else {
                appendLine(out, step.answer);
            }
            continue;
        }
        const bool inPlace = frame.kind == wire::Frame::Kind::Oversized ||
                             (!session_.authenticated && small);
        if (!inPlace) {
            asio::post(context_.workers,
                       [self = shared_from_this(), out = std::move(out)]() mutable {
                           self->work(std::move(out), Pool::Lookups);
                       });
            return;
        }
        Dispatcher::Step step = prepare(lines_[next_++]);
        if (step.pending()) {
            finishOn(poolFor(step), std::move(out), std::move(step));
            return;
        }
        appendLine(out, step.answer);
    }
    deliver(std::move(out));
}

Connection::Pool Connection::poolFor(const Dispatcher::Step& step) {
    return step.writes() ? Pool::Stores : Pool::Lookups;
}

// A store, or a batch that holds one, runs on the stores' workers and everything else on
// the lookups', so that lookups never wait for a thread behind a store that waits for
// the database. Each line's call is placed by its own kind, whatever came before it.
void Connection::finishOn(Pool pool, std::string out, Dispatcher::Step step) {
    if (step.call && step.call->method->waits) {
        asio::post(context_.workers, [self = shared_from_this(), out = std::move(out),
                                      call = std::move(*step.call)]() mutable {
            self->completeWaiting(std::move(out), std::move(call), true);
        });
        return;
    }
    const auto& executor = pool == Pool::Stores ? context_.storeWorkers : context_.workers;
    asio::post(executor, [self = shared_from_this(), pool, out = std::move(out),
                          step = std::move(step)]() mutable {
        appendLine(out, self->context_.dispatcher.finish(std::move(step), self->session_));
        self->work(std::move(out), pool);
    });
}

// On a worker of `here`: parses and answers lines until an answer worth writing is ready,
// or a line's call belongs on the other pool, where the work then goes on. Touches only
// the session and the lines, which nothing else touches meanwhile.
void Connection::work(std::string out, Pool here) {
    while (next_ < lines_.size() && !session_.closeAfterAnswer && out.size() < kWriteAt) {
        Dispatcher::Step step = prepare(lines_[next_]);
        std::string().swap(lines_[next_++].text);  // parsed: its bytes are not needed now
        if (step.pending() && (poolFor(step) != here || (step.call && step.call->method->waits))) {
            finishOn(poolFor(step), std::move(out), std::move(step));
            return;
        }
        appendLine(out, context_.dispatcher.finish(std::move(step), session_));
    }
    asio::post(socket_.get_executor(), [self = shared_from_this(), out = std::move(out)]() mutable {
        self->deliver(std::move(out));
    });
}

void Connection::completeWaiting(std::string out, Dispatcher::Call call, bool mayPark) {
    Completion done = context_.dispatcher.completeOrPark(std::move(call), session_, mayPark);
    if (done.parked) {
        asio::post(socket_.get_executor(), [self = shared_from_this(), out = std::move(out),
                                            parked = std::move(*done.parked)]() mutable {
            self->park(std::move(out), std::move(parked));
        });
        return;
    }
    appendLine(out, done.answer);
    work(std::move(out), Pool::Lookups);
}

// A parked call holds no worker and no database connection: only this timer and its
// entry among the waiters, either of which hands it back to a worker.
void Connection::park(std::string out, ParkedCall parked) {
    parkedOut_ = std::move(out);
    parked_ = std::move(parked);
    if (stopping_ || ended_) {
        unpark();
        return;
    }
    waitTimer_.expires_at(parked_->until);
    waitTimer_.async_wait([self = shared_from_this()](const std::error_code& e) {
        if (!e) {
            self->unpark();
        }
    });
    std::weak_ptr<Connection> weak = shared_from_this();
    waiterId_ = context_.waiters.add(
        parked_->branch, parked_->seen, [weak, executor = socket_.get_executor()] {
            asio::post(executor, [weak] {
                if (auto self = weak.lock()) {
                    self->unpark();
                }
            });
        });
}

void Connection::unpark() {
    if (!parked_ || ended_) {
        return;
    }
    context_.waiters.remove(waiterId_);
    waitTimer_.cancel();
    Dispatcher::Call call = std::move(parked_->call);
    parked_.reset();
    // Stopping, it answers what there is now instead of waiting again.
    asio::post(context_.workers, [self = shared_from_this(), out = std::move(parkedOut_),
                                  call = std::move(call), mayPark = !stopping_]() mutable {
        self->completeWaiting(std::move(out), std::move(call), mayPark);
    });
}

Dispatcher::Step Connection::prepare(const wire::Frame& frame) {
    if (frame.kind == wire::Frame::Kind::Oversized) {
        return {Dispatcher::oversized(framer_.limit()), std::nullopt};
    }
    return context_.dispatcher.prepare(frame.text, session_);
}

void Connection::deliver(std::string out) {
    admitWhenAuthenticated();
    outgoing_ = std::move(out);
    if (outgoing_.empty()) {
        resume();
    } else {
        write();
    }
}

// After an answer is written, or when there was none: the lines left of the last read,
// else the next read. Nothing after a refused login is read, let alone answered.
void Connection::resume() {
    if (stopping_ || session_.closeAfterAnswer) {
        busy_ = false;
        end();
        return;
    }
    if (next_ < lines_.size()) {
        proceed();
        return;
    }
    busy_ = false;
    lines_.clear();
    next_ = 0;
    read();
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
        sent = socket_.write_some(asio::buffer(outgoing_), error);
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
        asio::async_write(*tls_, asio::buffer(outgoing_), std::move(handler));
    } else {
        asio::async_write(socket_, asio::buffer(outgoing_) + sent, std::move(handler));
    }
}

void Connection::written(const std::error_code& error) {
    outgoing_.clear();
    disarm();
    if (error) {
        busy_ = false;
        end();
        return;
    }
    resume();
}

}  // namespace server
