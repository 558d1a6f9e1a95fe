#pragma once
// The calls waiting for a change of their branch, woken when one commits.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace server {

/// Waiters by branch. A waiter is a function that must return at once (it hands the
/// call back to its connection); it is called once, outside the registry's lock, and
/// then forgotten. Thread-safe.
class ChangeWaiters {
public:
    using Id = std::uint64_t;

    /// Waits for a change of `branch` (or of every branch, "T") numbered above `seen`;
    /// when one is known already, wake is called before this returns.
    Id add(const std::string& branch, long long seen, std::function<void()> wake);
    /// Forgets a waiter (woken or not).
    void remove(Id id);
    /// Changes up to `highest` committed for these branches ("T": every branch): their
    /// waiters are woken.
    void changed(const std::vector<std::string>& branches, long long highest);
    /// Wakes every waiter (the server is stopping).
    void wakeAll();
    std::size_t size() const;

private:
    struct Waiter {
        std::string branch;
        std::function<void()> wake;
    };
    long long knownFor(const std::string& branch) const;

    mutable std::mutex mutex_;
    Id next_ = 1;
    std::map<Id, Waiter> waiters_;
    std::unordered_multimap<std::string, Id> byBranch_;
    std::unordered_map<std::string, long long> highest_;  // by branch, "T" included
};

}  // namespace server
