#pragma once
// One client socket: reads request lines (a line may be a batch of requests), answers
// each in order.

#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <vector>


#include "server/rpc/Dispatcher.h"
#include "server/service/ChangeWaiters.h"
#include "server/net/ServerOptions.h"
#include "protocol/Asio.h"
#include "protocol/LineFramer.h"

namespace server {

class ConnectionManager;

/// What every connection of one server run shares.
struct ConnectionContext {
    ConnectionManager& manager;
    Dispatcher& dispatcher;
    asio::any_io_executor workers;       ///< where lookups run, away from the socket threads
    asio::any_io_executor storeWorkers;  ///< where stores run
    ChangeWaiters& waiters;              ///< where calls waiting for a change are put aside
    asio::ssl::context& tls;        ///< used only when useTls
    bool useTls = false;
    const ServerOptions& options;
};

/// A connection runs on one socket thread's event loop: it reads and frames lines,
/// answers what needs neither the database nor a long parse (an oversized line, the login
/// of a peer that has not logged in yet) in place and hands the other lines to a worker,
/// so that neither a database that stops answering nor a line of megabytes holds a thread
/// that accepts connections or does TLS handshakes; it writes the answers, then reads
/// again. While it waits for a peer it holds no thread; a deadline ends it when the peer
/// is idle too long, sends a request too slowly, does not take its answer, or has not
/// logged in within the login time. Each line's call runs on the pool of its kind, and
/// the answers of lines read together are written as they are ready. A batch line is one
/// unit: its calls go to one worker (the stores' when it holds a store) and its one
/// answer line is written when all have completed; stop() waits for it as for a call.
/// Owned by the ConnectionManager.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    /// socket must belong to an event loop that one thread runs. A refusing connection
    /// only tells its peer that the server is busy (after the TLS handshake, so that a
    /// TLS client can read it) and ends.
    Connection(asio::ip::tcp::socket socket, const ConnectionContext& context,
               bool refusing = false);
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    /// Starts the TLS handshake when asked for, then reading.
    void start();
    /// Ends the connection once the answers being computed or written are sent.
    void stop();
    /// Ends the connection now.
    void close();
    /// Closes the socket; called by the manager from the connection's thread.
    void closeSocket();
    /// True until the peer has logged in (or, without a token, finished the handshake).
    bool pending() const { return pending_; }

private:
    /// The worker threads a call runs on.
    enum class Pool { Lookups, Stores };

    void begin();
    void read();
    void onRead(const std::error_code& error, std::size_t bytes);
    /// On the socket thread: answers the lines read that need no worker, up to the first
    /// that does, which goes to one.
    void proceed();
    /// On a worker of here: parses and answers lines, as many as make an answer worth
    /// writing, then hands it to the socket thread.
    void work(std::string out, Pool here);
    /// On a lookups worker: completes a call of a method that waits; put aside, it is
    /// handed to the socket thread to wait.
    void completeWaiting(std::string out, Dispatcher::Call call, bool mayPark);
    /// On the socket thread: waits, holding no thread, until a change of the call's
    /// branch commits or its wait runs out; out (the answers before it) waits with it.
    void park(std::string out, ParkedCall parked);
    /// On the socket thread: ends the wait, if any, and completes the call again.
    void unpark();
    /// Completes a prepared call or batch on pool, then works on there.
    void finishOn(Pool pool, std::string out, Dispatcher::Step step);
    static Pool poolFor(const Dispatcher::Step& step);
    /// The answer to one frame that is no call of the object's methods, or the call or
    /// batch to complete.
    Dispatcher::Step prepare(const wire::Frame& frame);
    /// After an answer: the lines left, or the next read.
    void resume();
    /// Tells the manager the peer has logged in, once.
    void admitWhenAuthenticated();
    /// Writes out, or reads on when there is nothing to write.
    void deliver(std::string out);
    void write();
    void written(const std::error_code& error);
    void arm(std::chrono::steady_clock::time_point deadline);
    void disarm();
    void waitFor(std::chrono::steady_clock::time_point expiry);
    void end();

    asio::ip::tcp::socket socket_;
    std::unique_ptr<asio::ssl::stream<asio::ip::tcp::socket&>> tls_;  // with TLS only
    asio::steady_timer timer_;
    asio::steady_timer waitTimer_;  // the wait of a parked call
    std::optional<ParkedCall> parked_;
    std::string parkedOut_;
    ChangeWaiters::Id waiterId_ = 0;
    ConnectionContext context_;
    wire::LineFramer framer_;
    Dispatcher::Session session_;
    std::array<char, 16384> buffer_{};
    std::vector<wire::Frame> lines_;  // read, not all answered yet
    std::size_t next_ = 0;            // the first of lines_ not yet taken
    std::string outgoing_;
    std::chrono::steady_clock::time_point requestStarted_{};
    // The time the peer must act by, and the time the timer waits for (never later).
    std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();
    std::chrono::steady_clock::time_point timerExpiry_ =
        std::chrono::steady_clock::time_point::max();
    bool midLine_ = false;   // bytes of an unfinished line have arrived
    bool busy_ = false;      // a worker is answering, or an answer is being written
    bool stopping_ = false;
    bool ended_ = false;
    bool refusing_ = false;
    bool pending_ = true;
    std::chrono::steady_clock::time_point loginDeadline_{};
};

}  // namespace server
