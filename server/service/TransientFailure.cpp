#include "server/service/TransientFailure.h"

#include <algorithm>
#include <random>
#include <thread>

namespace server {

std::chrono::milliseconds retryDelay(int attempt) {
    thread_local std::minstd_rand random{std::random_device{}()};
    const int shift = std::clamp(attempt - 1, 0, 6);
    const long base = std::min(20L << shift, 1000L);
    std::uniform_int_distribution<long> jitter(0, base / 2);
    return std::chrono::milliseconds(base + jitter(random));
}

nlohmann::json retryTransient(const std::function<nlohmann::json()>& call,
                              std::chrono::steady_clock::time_point deadline) {
    for (int attempt = 1;; ++attempt) {
        const auto delay = retryDelay(attempt);
        try {
            return call();
        } catch (const TransientCallError&) {
            if (attempt >= kStoreAttempts || std::chrono::steady_clock::now() + delay >= deadline) {
                throw;
            }
        }
        std::this_thread::sleep_for(delay);
    }
}

}  // namespace server
