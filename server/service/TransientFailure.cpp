#include "server/service/TransientFailure.h"

#include <algorithm>
#include <random>

namespace server {

std::chrono::milliseconds retryDelay(int attempt) {
    thread_local std::minstd_rand random{std::random_device{}()};
    const int shift = std::clamp(attempt - 1, 0, 6);
    const long base = std::min(20L << shift, 1000L);
    std::uniform_int_distribution<long> jitter(0, base / 2);
    return std::chrono::milliseconds(base + jitter(random));
}

}  // namespace server
