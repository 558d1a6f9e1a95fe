#pragma once
// The threads that move a server's bytes.

#include <cstddef>
#include <memory>
#include <thread>
#include <vector>

#include "protocol/Asio.h"

namespace server {

/// The socket threads of one run, each with an event loop of its own: a connection's
/// handlers all run on the thread its bytes arrive on, with no hand-over between
/// threads. Two keep one slow handshake from delaying the others. They only move bytes:
/// calls run on the worker pools.
class SocketLoops {
public:
    SocketLoops();
    /// finish(), when not done.
    ~SocketLoops();
    SocketLoops(const SocketLoops&) = delete;
    SocketLoops& operator=(const SocketLoops&) = delete;

    /// The acceptor's loop.
    asio::io_context& first() { return *loops_.front(); }
    /// The loop for the next connection, in turn (called from the acceptor's strand).
    asio::io_context& next();
    /// Starts one thread per loop; each runs until finish(), idle or not.
    void run();
    /// Lets each loop end once its last connection is gone, and waits for the threads.
    void finish();

private:
    static constexpr int kSocketThreads = 2;
    std::vector<std::unique_ptr<asio::io_context>> loops_;
    std::vector<asio::executor_work_guard<asio::io_context::executor_type>> keepRunning_;
    std::vector<std::thread> threads_;
    std::size_t next_ = 0;
};

}  // namespace server
