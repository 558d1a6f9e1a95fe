#pragma once
// Which peer addresses have failed to log in too often, and for how long they must wait.

#include <chrono>
#include <cstddef>
#include <string>
#include <unordered_map>

namespace server {

/// Counts failed logins per address in a window; the failure that reaches the limit locks
/// the address out for a while, during which even the right token is refused, so that a
/// token cannot be guessed at the speed of the network. A pure rule: the time is given.
/// Not thread-safe. Remembers at most maxAddresses addresses (the oldest are forgotten
/// first), so a peer with many addresses cannot make it grow without bound.
class AuthThrottle {
public:
    using Clock = std::chrono::steady_clock;

    AuthThrottle(int maxFailures, std::chrono::seconds window, std::chrono::seconds lockout,
                 std::size_t maxAddresses = 4096);

    /// How long the address must still wait before it may try again; zero when it may.
    std::chrono::seconds wait(const std::string& address, Clock::time_point now) const;
    /// Records a failed login; returns the failures counted in the current window, and
    /// locks the address when they reach the limit.
    int failed(const std::string& address, Clock::time_point now);
    /// A login that succeeded forgets the address's failures.
    void succeeded(const std::string& address);

    int maxFailures() const { return maxFailures_; }
    std::chrono::seconds lockout() const { return lockout_; }

private:
    struct Entry {
        Clock::time_point windowStart;
        int failures = 0;
        Clock::time_point lockedUntil;
    };
    void forgetOld(Clock::time_point now);

    int maxFailures_;
    std::chrono::seconds window_;
    std::chrono::seconds lockout_;
    std::size_t maxAddresses_;
    std::unordered_map<std::string, Entry> entries_;
};

}  // namespace server
