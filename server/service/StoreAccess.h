#pragma once
// A database's stores, each used by one call at a time within the call's deadline.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "server/store/RuleStore.h"

namespace server {

/// Runs each piece of work against a store no other work is using (with one store, calls
/// from many connections are serialised here; with several connections to one database,
/// as many run at once), each within its deadline. Knows nothing of the methods that use
/// it. Thread-safe.
class StoreAccess {
public:
    using Clock = std::chrono::steady_clock;

    /// A read sees one state of the database throughout; a write changes it.
    enum class Access { Read, Write };

    explicit StoreAccess(std::unique_ptr<RuleStore> store);
    /// Over several connections to one database (at least one).
    explicit StoreAccess(std::vector<std::unique_ptr<RuleStore>> stores);

    /// Runs work against the store for caller (written into the history of what it
    /// changes); waiting for a free store and for the database ends at deadline. A
    /// connection the database closed under the work is opened again and the work run
    /// once more when nothing of it can have taken effect (a read, or a write that never
    /// reached its COMMIT); a write that another writer was in the way of is run again
    /// (retryTransient). Throws StoreError (StoreFailure::Timeout when earlier calls
    /// held every store until deadline; TransientStoreError when another writer stayed in
    /// the way), or what work throws.
    void run(Access access, Clock::time_point deadline, const RuleStore::Caller& caller,
             const std::function<void(RuleStore&)>& work);
    /// Rows in PRECDIF.
    long countRules();
    /// The stores it runs work on.
    std::size_t size() const { return stores_.size(); }
    /// Abandons the work under way on every store and every later one (the server is stopping): they
    /// fail as interrupted, their transactions rolled back. Callable from any thread.
    void interrupt();

private:
    void runAlone(Access access, Clock::time_point deadline, const RuleStore::Caller& caller,
                  const std::function<void(RuleStore&)>& work);

    /// Runs use on a store no other work is using, waiting until deadline for one
    /// (StoreError Timeout past it).
    void lend(Clock::time_point deadline, const std::function<void(RuleStore&)>& use);

    const std::vector<std::unique_ptr<RuleStore>> stores_;
    std::mutex mutex_;
    std::condition_variable released_;
    std::vector<RuleStore*> free_;  // under mutex_
};

}  // namespace server
