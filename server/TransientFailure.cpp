#include "TransientFailure.h"

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

nlohmann::json retryTransient(const std::function<nlohmann::json()>& call) {
    for (int attempt = 1;; ++attempt) {
        try {
            return call();
        } catch (const TransientCallError&) {
            if (attempt >= kStoreAttempts) {
                throw;
            }
        }
        std::this_thread::sleep_for(retryDelay(attempt));
    }
}

}  // namespace server
