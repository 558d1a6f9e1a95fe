#pragma once
// Watches the change log for what other processes commit, and keeps it short.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "server/service/ChangeWaiters.h"
#include "server/store/RuleStore.h"

namespace server {

class Log;

/// One thread and one database connection of their own. While anyone waits, it wakes
/// the waiters of the branches that changes committed elsewhere (another server process,
/// the command line) name: on PostgreSQL as their commits announce them, on SQLite within
/// 200 ms. From time to time it removes, in small batches, the change log's rows older
/// than keepDays days, never the newest.
class ChangeWatch {
public:
    ChangeWatch(std::unique_ptr<RuleStore> store, ChangeWaiters& waiters, int keepDays, Log& log);
    /// Stops the thread; returns within a fraction of a second.
    ~ChangeWatch();
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;

    /// Removes what is due now, all of it, batch after batch (also run from time to time
    /// by the thread). Throws StoreError.
    static long prune(RuleStore& store, int keepDays);

private:
    void run();
    /// Tells the waiters of what was committed since the last look.
    void scan();

    std::unique_ptr<RuleStore> store_;
    ChangeWaiters& waiters_;
    int keepDays_;
    Log& log_;
    long long scanned_ = -1;  // the highest number the waiters were told of
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace server
