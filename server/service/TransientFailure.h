#pragma once
// Which database failures go away when the same transaction is simply tried again.

#include <chrono>
#include <functional>
#include <string_view>
#include <string>

#include <nlohmann/json.hpp>

#include "server/rpc/StoreCallError.h"

namespace server {

/// A call that failed because another writer was in the way (the store threw
/// TransientStoreError): answered as the busy database's message, unless a new attempt
/// succeeds first.
class TransientCallError : public StoreCallError {
  public:
    TransientCallError(std::string_view method, const StoreError& cause)
        : StoreCallError(StoreFailure::Busy, method, cause) {}
};

/// How long to wait before attempt number `attempt` (1 for the first retry): doubling
/// from 20 ms up to one second, with a jitter so that two writers that collided do not
/// collide again in step.
std::chrono::milliseconds retryDelay(int attempt);

/// How many times a store is tried in all before its transient failure is reported.
inline constexpr int kStoreAttempts = 12;

/// Runs call and gives its result; when it throws TransientCallError, waits retryDelay
/// and runs it again, up to kStoreAttempts runs in all, and never starting an attempt
/// after deadline.
/// Any other failure, and the last transient one, goes on to the caller. call must leave
/// nothing behind when it fails (a transaction rolled back whole).
nlohmann::json retryTransient(
    const std::function<nlohmann::json()>& call,
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max());

}  // namespace server
