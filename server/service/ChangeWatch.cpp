#include "server/service/ChangeWatch.h"

#include <exception>
#include <map>

#include "server/ops/Log.h"
#include "server/service/HeldData.h"
#include "server/store/ChangeLogQueries.h"
#include "server/store/Timestamps.h"

namespace server {

namespace {

using namespace std::chrono_literals;

// Small batches, each its own short transaction, so that no writer waits long for one.
constexpr long kPruneBatch = 1000;
constexpr auto kPruneEvery = 10min;

}  // namespace

ChangeWatch::ChangeWatch(std::unique_ptr<RuleStore> store, ChangeWaiters& waiters, HeldData* held,
                         int keepDays, Log& log)
    : store_(std::move(store)), waiters_(waiters), held_(held), keepDays_(keepDays), log_(log) {
    // The first look before the first call, so that what it reads is held from the start;
    // one that fails is made again by the thread.
    try {
        scan();
    } catch (const std::exception&) {
    }
    thread_ = std::thread([this] { run(); });
}

ChangeWatch::~ChangeWatch() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
    // A read that waits for a database locked by someone else would hold the stop for
    // the whole wait: it is cut short.
    store_->interrupt();
    thread_.join();
}

long ChangeWatch::prune(RuleStore& store, int keepDays) {
    const std::string before = utcTimestampDaysAgo(keepDays);
    long total = 0;
    for (long removed = kPruneBatch; removed == kPruneBatch;) {
        removed = ChangeLogQueries(store).prune(before, kPruneBatch);
        total += removed;
    }
    return total;
}

void ChangeWatch::scan() {
    ChangeLogQueries log(*store_);
    if (scanned_ < 0) {
        // What was committed before the watch began was there for every waiter to read,
        // and for every read of what is held.
        scanned_ = log.span().highest;
    } else if (!follow(log)) {
        // More than is worth reading row by row, or rows removed before they were read
        // (numbers have no gaps): the waiters hear of their branches, and everything held
        // goes.
        distrustHeld();
        for (const auto& [branch, last] : log.branchesSince(scanned_)) {
            waiters_.changed({branch}, last);
            scanned_ = std::max(scanned_, last);
        }
    }
    if (held_ != nullptr && !heldTrusted_) {
        held_->trust();
        heldTrusted_ = true;
    }
}

void ChangeWatch::distrustHeld() {
    if (held_ != nullptr) {
        held_->distrust();
        heldTrusted_ = false;
    }
}

bool ChangeWatch::follow(ChangeLogQueries& log) {
    const auto rows = log.since(scanned_, static_cast<long>(kListedChanges) + 1);
    if (rows.empty()) {
        return true;
    }
    if (rows.front().first != scanned_ + 1 || rows.size() > kListedChanges) {
        return false;
    }
    std::vector<Change> changes;
    std::map<std::string, long long> branches;  // each branch's highest number
    for (const auto& [number, change] : rows) {
        changes.push_back(change);
        branches[change.branch] = number;
    }
    if (held_ != nullptr && heldTrusted_) {
        held_->apply(changes);
    }
    for (const auto& [branch, last] : branches) {
        waiters_.changed({branch}, last);
    }
    scanned_ = rows.back().first;
    return true;
}

void ChangeWatch::run() {
    auto nextPrune = std::chrono::steady_clock::now();
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (stopping_) {
                return;
            }
            // Nobody waits and nothing is held: nothing to look for but the next pruning
            // (and the stop).
            if (waiters_.size() == 0 && held_ == nullptr && scanned_ >= 0) {
                stopped_.wait_for(lock, 100ms, [&] { return stopping_; });
            }
            if (stopping_) {
                return;
            }
        }
        try {
            if (std::chrono::steady_clock::now() >= nextPrune) {
                nextPrune = std::chrono::steady_clock::now() + kPruneEvery;
                if (const long removed = prune(*store_, keepDays_); removed > 0) {
                    log_.event(LogLevel::Info, "change-log-pruned",
                               {{"rows", std::to_string(removed)}});
                }
            }
            if (scanned_ < 0 || (held_ != nullptr && !heldTrusted_) ||
                ((waiters_.size() > 0 || held_ != nullptr) && store_->awaitChangeNotice(100ms))) {
                scan();
            }
        } catch (const std::exception& e) {
            if (std::lock_guard lock(mutex_); stopping_) {
                return;  // cut short by the stop: nothing failed
            }
            log_.event(LogLevel::Warning, "change-watch-failed", {{"error", e.what()}});
            // What is held may miss a change from now on.
            distrustHeld();
            std::unique_lock lock(mutex_);
            stopped_.wait_for(lock, 1s, [&] { return stopping_; });
        }
    }
}

}  // namespace server
