#pragma once
// One database connection's store, used by one call at a time within the call's deadline.

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

#include "server/store/RuleStore.h"

namespace server {

/// Runs one piece of work at a time against the store (calls from many connections are
/// serialised here), each within its deadline. Knows nothing of the methods that use it.
/// Thread-safe.
class StoreAccess {
public:
    using Clock = std::chrono::steady_clock;

    /// A read sees one state of the database throughout; a write changes it.
    enum class Access { Read, Write };

    explicit StoreAccess(std::unique_ptr<RuleStore> store);

    /// Runs work against the store for caller (written into the history of what it
    /// changes); waiting for an earlier call and for the database ends at deadline. A
    /// connection the database closed under the work is opened again and the work run
    /// once more when nothing of it can have taken effect (a read, or a write that never
    /// reached its COMMIT); a write that another writer was in the way of is run again
    /// (retryTransient). Throws StoreError (StoreFailure::Timeout when an earlier call
    /// held the store until deadline; TransientStoreError when another writer stayed in
    /// the way), or what work throws.
    void run(Access access, Clock::time_point deadline, const RuleStore::Caller& caller,
             const std::function<void(RuleStore&)>& work);
    /// Rows in PRECDIF.
    long countRules();
    /// Abandons the work under way and every later one (the server is stopping): they
    /// fail as interrupted, their transactions rolled back. Callable from any thread.
    void interrupt();

private:
    void runAlone(Access access, Clock::time_point deadline, const RuleStore::Caller& caller,
                  const std::function<void(RuleStore&)>& work);

    std::timed_mutex mutex_;
    std::unique_ptr<RuleStore> store_;
};

}  // namespace server
