#include "server/service/ChangeWatch.h"

#include <exception>

#include "server/ops/Log.h"
#include "server/store/ChangeLogQueries.h"
#include "server/store/Timestamps.h"

namespace server {

namespace {

using namespace std::chrono_literals;

// Small batches, each its own short transaction, so that no writer waits long for one.
constexpr long kPruneBatch = 1000;
constexpr auto kPruneEvery = 10min;

}  // namespace

ChangeWatch::ChangeWatch(std::unique_ptr<RuleStore> store, ChangeWaiters& waiters, int keepDays,
                         Log& log)
    : store_(std::move(store)), waiters_(waiters), keepDays_(keepDays), log_(log) {
    thread_ = std::thread([this] { run(); });
}

ChangeWatch::~ChangeWatch() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
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
        // What was committed before the watch began was there for every waiter to read.
        scanned_ = log.span().highest;
        return;
    }
    for (const auto& [branch, highest] : log.branchesSince(scanned_)) {
        waiters_.changed({branch}, highest);
        scanned_ = std::max(scanned_, highest);
    }
}

void ChangeWatch::run() {
    auto nextPrune = std::chrono::steady_clock::now();
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (stopping_) {
                return;
            }
            // Nobody waits: nothing to look for but the next pruning (and the stop).
            if (waiters_.size() == 0 && scanned_ >= 0) {
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
            if (scanned_ < 0 || (waiters_.size() > 0 && store_->awaitChangeNotice(100ms))) {
                scan();
            }
        } catch (const std::exception& e) {
            log_.event(LogLevel::Warning, "change-watch-failed", {{"error", e.what()}});
            std::unique_lock lock(mutex_);
            stopped_.wait_for(lock, 1s, [&] { return stopping_; });
        }
    }
}

}  // namespace server
