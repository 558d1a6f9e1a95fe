#include "server/service/StoreAccess.h"

#include "server/service/TransientFailure.h"

namespace server {

StoreAccess::StoreAccess(std::unique_ptr<RuleStore> store) : store_(std::move(store)) {}

void StoreAccess::run(Access access, Clock::time_point deadline, const RuleStore::Caller& caller,
                      const std::function<void(RuleStore&)>& work) {
    if (access == Access::Read) {
        runAlone(access, deadline, caller, work);
        return;
    }
    // Another writer (a second server on the same database, or the database's own lock
    // order) can make a store fail that would succeed a moment later. The transaction was
    // rolled back whole, so it is simply made again, the store left to others meanwhile.
    retryTransient([&] { runAlone(access, deadline, caller, work); }, deadline);
}

void StoreAccess::runAlone(Access access, Clock::time_point deadline,
                           const RuleStore::Caller& caller,
                           const std::function<void(RuleStore&)>& work) {
    std::unique_lock lock(mutex_, std::defer_lock);
    if (!lock.try_lock_until(deadline)) {
        // The call before this one still waits for the database.
        throw StoreError(StoreFailure::Timeout, "Chamada anterior ainda aguarda o banco de dados");
    }
    store_->setDeadline(deadline);
    store_->setCaller(caller);
    for (int attempt = 1;; ++attempt) {
        try {
            if (access == Access::Write) {
                work(*store_);
            } else {
                store_->readTogether([&] { work(*store_); });
            }
            return;
        } catch (const TransientStoreError&) {
            throw;  // rolled back whole: the caller may try again
        } catch (const StoreError& e) {
            // A connection the database closed under us (it restarted) is opened again
            // by the next statement; the work is done once more when nothing of it can
            // have taken effect: every lookup, and a store that never reached COMMIT.
            if (e.kind() == StoreFailure::Lost && !e.duringCommit() && attempt == 1) {
                continue;
            }
            throw;
        }
    }
}

long StoreAccess::countRules() {
    std::lock_guard lock(mutex_);
    store_->setDeadline(Clock::time_point::max());
    return store_->countRules();
}

void StoreAccess::interrupt() {
    store_->interrupt();
}

}  // namespace server
