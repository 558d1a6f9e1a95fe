#pragma once
// Which database failures go away when the same transaction is simply tried again.

#include <chrono>
#include <thread>

#include "server/store/StoreError.h"

namespace server {

/// How long to wait before attempt number `attempt` (1 for the first retry): doubling
/// from 20 ms up to one second, with a jitter so that two writers that collided do not
/// collide again in step.
std::chrono::milliseconds retryDelay(int attempt);

/// How many times a store is tried in all before its transient failure is reported.
inline constexpr int kStoreAttempts = 12;

/// Runs call and gives its result; when it throws TransientStoreError (another writer
/// was in the way), waits retryDelay and runs it again, up to kStoreAttempts runs in all,
/// and never starting an attempt after deadline. Any other failure, and the last
/// transient one, goes on to the caller. call must leave nothing behind when it fails (a
/// transaction rolled back whole).
template <class Call>
auto retryTransient(Call&& call, std::chrono::steady_clock::time_point deadline =
                                     std::chrono::steady_clock::time_point::max()) {
    for (int attempt = 1;; ++attempt) {
        const auto delay = retryDelay(attempt);
        try {
            return call();
        } catch (const TransientStoreError&) {
            if (attempt >= kStoreAttempts || std::chrono::steady_clock::now() + delay >= deadline) {
                throw;
            }
        }
        std::this_thread::sleep_for(delay);
    }
}

}  // namespace server
