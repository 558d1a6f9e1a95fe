#include "server/service/StoreAccess.h"

#include <stdexcept>

#include "server/service/TransientFailure.h"

namespace server {

namespace {

std::vector<std::unique_ptr<RuleStore>> alone(std::unique_ptr<RuleStore> store) {
    std::vector<std::unique_ptr<RuleStore>> stores;
    stores.push_back(std::move(store));
    return stores;
}

}  // namespace

StoreAccess::StoreAccess(std::unique_ptr<RuleStore> store) : StoreAccess(alone(std::move(store))) {}

StoreAccess::StoreAccess(std::vector<std::unique_ptr<RuleStore>> stores)
    : stores_(std::move(stores)) {
    if (stores_.empty()) {
        throw std::invalid_argument("StoreAccess needs a store");
    }
    for (const auto& store : stores_) {
        free_.push_back(store.get());
    }
}

void StoreAccess::lend(Clock::time_point deadline, const std::function<void(RuleStore&)>& use) {
    RuleStore* store = nullptr;
    {
        std::unique_lock lock(mutex_);
        const auto anyFree = [this] { return !free_.empty(); };
        if (deadline == Clock::time_point::max()) {
            released_.wait(lock, anyFree);
        } else if (!released_.wait_until(lock, deadline, anyFree)) {
            // The calls before this one still wait for the database.
            throw StoreError(StoreFailure::Timeout,
                             "Chamada anterior ainda aguarda o banco de dados");
        }
        store = free_.back();
        free_.pop_back();
    }
    struct GivenBack {
        StoreAccess& access;
        RuleStore* store;
        ~GivenBack() {
            {
                std::lock_guard lock(access.mutex_);
                access.free_.push_back(store);
            }
            access.released_.notify_one();
        }
    } const givenBack{*this, store};
    use(*store);
}

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
    lend(deadline, [&](RuleStore& store) {
        store.setDeadline(deadline);
        store.setCaller(caller);
        for (int attempt = 1;; ++attempt) {
            try {
                if (access == Access::Write) {
                    work(store);
                } else {
                    store.readTogether([&] { work(store); });
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
    });
}

long StoreAccess::countRules() {
    long count = 0;
    lend(Clock::time_point::max(), [&](RuleStore& store) {
        store.setDeadline(Clock::time_point::max());
        count = store.countRules();
    });
    return count;
}

void StoreAccess::interrupt() {
    for (const auto& store : stores_) {
        store->interrupt();
    }
}

}  // namespace server
