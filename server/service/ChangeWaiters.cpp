#include "server/service/ChangeWaiters.h"

#include <algorithm>

namespace server {

long long ChangeWaiters::knownFor(const std::string& branch) const {
    long long known = 0;
    for (const std::string& b : {branch, std::string("T")}) {
        if (const auto it = highest_.find(b); it != highest_.end()) {
            known = std::max(known, it->second);
        }
    }
    return known;
}

ChangeWaiters::Id ChangeWaiters::add(const std::string& branch, long long seen,
                                     std::function<void()> wake) {
    std::unique_lock lock(mutex_);
    const Id id = next_++;
    // A change committed between the caller's read and now was announced before it
    // waited: it must not sleep through it.
    if (knownFor(branch) > seen) {
        lock.unlock();
        wake();
        return id;
    }
    waiters_.emplace(id, Waiter{branch, std::move(wake)});
    byBranch_.emplace(branch, id);
    return id;
}

void ChangeWaiters::remove(Id id) {
    std::lock_guard lock(mutex_);
    const auto it = waiters_.find(id);
    if (it == waiters_.end()) {
        return;
    }
    auto [first, last] = byBranch_.equal_range(it->second.branch);
    for (auto at = first; at != last; ++at) {
        if (at->second == id) {
            byBranch_.erase(at);
            break;
        }
    }
    waiters_.erase(it);
}

void ChangeWaiters::changed(const std::vector<std::string>& branches, long long highest) {
    std::vector<std::function<void()>> woken;
    {
        std::lock_guard lock(mutex_);
        auto take = [&](Id id) {
            const auto it = waiters_.find(id);
            woken.push_back(std::move(it->second.wake));
            waiters_.erase(it);
        };
        for (const std::string& branch : branches) {
            long long& known = highest_[branch];
            known = std::max(known, highest);
            if (branch == "T") {
                for (const auto& [id, waiter] : waiters_) {
                    woken.push_back(waiter.wake);
                }
                waiters_.clear();
                byBranch_.clear();
                continue;
            }
            auto [first, last] = byBranch_.equal_range(branch);
            for (auto at = first; at != last; ++at) {
                take(at->second);
            }
            byBranch_.erase(first, last);
        }
    }
    for (auto& wake : woken) {
        wake();
    }
}

void ChangeWaiters::wakeAll() {
    changed({"T"}, 0);
}

std::size_t ChangeWaiters::size() const {
    std::lock_guard lock(mutex_);
    return waiters_.size();
}

}  // namespace server
