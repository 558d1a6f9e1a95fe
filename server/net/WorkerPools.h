#pragma once
// The threads that run a server's calls.

#include "protocol/Asio.h"

namespace server {

struct ServerOptions;

/// Lookups and stores have pools of their own: a store that waits for the database (up
/// to its longer deadline) never makes a lookup wait for a thread. Each pool has threads
/// to spare, as a thread that waits for a stalled database does no work.
class WorkerPools {
public:
    /// Lookups get options.workerThreads threads (0: twice the cores, 4 to 16, and at
    /// least twice the reading connections).
    explicit WorkerPools(const ServerOptions& options);
    WorkerPools(const WorkerPools&) = delete;
    WorkerPools& operator=(const WorkerPools&) = delete;

    asio::any_io_executor lookups() { return lookups_.get_executor(); }
    asio::any_io_executor stores() { return stores_.get_executor(); }
    /// Waits for the work handed to both pools (which must be ending) and their threads.
    void join();

private:
    // Stores share one database connection and run one at a time; the threads beyond the
    // first wait for it, each no longer than its own call's deadline.
    static constexpr unsigned kStoreThreads = 4;
    asio::thread_pool lookups_;
    asio::thread_pool stores_{kStoreThreads};
};

}  // namespace server
