#pragma once
// Watches the change log for what other processes commit, and keeps it short.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "server/service/ChangeWaiters.h"
#include "server/store/ChangeLogQueries.h"
#include "server/store/RuleStore.h"

namespace server {

class HeldData;
class Log;

/// One thread and one database connection of their own. While anyone waits, or while
/// the server holds data in memory, it follows what changes committed elsewhere (another
/// server process, the command line): on PostgreSQL as their commits announce them, on
/// SQLite within 200 ms. It wakes the waiters of the branches they name and drops what
/// the server holds of what they touch; a part of the log it could not read (removed,
/// too long, or a failure of the database) drops everything held. From time to time it
/// removes, in small batches, the change log's rows older than keepDays days, never the
/// newest.
class ChangeWatch {
public:
    /// held: what the server holds in memory (nullptr: nothing); it is trusted from the
    /// watch's first look at the change log on.
    ChangeWatch(std::unique_ptr<RuleStore> store, ChangeWaiters& waiters, HeldData* held,
                int keepDays, Log& log);
    /// Stops the thread; returns within a fraction of a second.
    ~ChangeWatch();
    ChangeWatch(const ChangeWatch&) = delete;
    ChangeWatch& operator=(const ChangeWatch&) = delete;

    /// Removes what is due now, all of it, batch after batch (also run from time to time
    /// by the thread). Throws StoreError.
    static long prune(RuleStore& store, int keepDays);

private:
    void run();
    /// Tells the waiters and what is held of what was committed since the last look.
    void scan();
    /// Reads the changes numbered above scanned_, tells the waiters of their branches and
    /// drops what is held of what they touch; false, doing nothing, when they are too many
    /// or some were removed before they were read.
    bool follow(ChangeLogQueries& log);
    /// Nothing is answered from what is held until the change log is read again.
    void distrustHeld();

    std::unique_ptr<RuleStore> store_;
    ChangeWaiters& waiters_;
    HeldData* held_;
    bool heldTrusted_ = false;
    int keepDays_;
    Log& log_;
    long long scanned_ = -1;  // the highest number the waiters were told of
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace server
