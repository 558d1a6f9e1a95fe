#include "server/rpc/AuthThrottle.h"

#include <algorithm>
#include <vector>

namespace server {

AuthThrottle::AuthThrottle(int maxFailures, std::chrono::seconds window,
                           std::chrono::seconds lockout, std::size_t maxAddresses)
    : maxFailures_(std::max(1, maxFailures)),
      window_(window),
      lockout_(lockout),
      maxAddresses_(std::max<std::size_t>(1, maxAddresses)) {}

std::chrono::seconds AuthThrottle::wait(const std::string& address, Clock::time_point now) const {
    const auto it = entries_.find(address);
    if (it == entries_.end() || it->second.lockedUntil <= now) {
        return std::chrono::seconds(0);
    }
    // Rounded up: "try again in 0 s" would be a lie.
    return std::chrono::ceil<std::chrono::seconds>(it->second.lockedUntil - now);
}

int AuthThrottle::failed(const std::string& address, Clock::time_point now) {
    if (!entries_.contains(address) && entries_.size() >= maxAddresses_) {
        forgetOld(now);
    }
    Entry& e = entries_[address];
    if (e.failures == 0 || now - e.windowStart > window_) {
        e.windowStart = now;
        e.failures = 0;
    }
    const int counted = ++e.failures;
    if (counted >= maxFailures_) {
        e.lockedUntil = now + lockout_;
        e.failures = 0;  // after the lockout the address starts a new window
    }
    return counted;
}

void AuthThrottle::succeeded(const std::string& address) {
    entries_.erase(address);
}

void AuthThrottle::forgetOld(Clock::time_point now) {
    std::erase_if(entries_, [&](const auto& item) {
        return item.second.lockedUntil <= now && now - item.second.windowStart > window_;
    });
    if (entries_.size() < maxAddresses_) {
        return;
    }
    // Still full of live entries: the half whose window began first goes.
    std::vector<std::pair<Clock::time_point, std::string>> byAge;
    byAge.reserve(entries_.size());
    for (const auto& [address, entry] : entries_) {
        byAge.emplace_back(std::max(entry.windowStart, entry.lockedUntil), address);
    }
    const auto half = byAge.begin() + static_cast<std::ptrdiff_t>(byAge.size() / 2);
    std::nth_element(byAge.begin(), half, byAge.end());
    for (auto it = byAge.begin(); it != half; ++it) {
        entries_.erase(it->second);
    }
}

}  // namespace server
