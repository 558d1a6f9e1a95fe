#pragma once
// Which database failures go away when the same transaction is simply tried again.

#include <chrono>
#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "protocol/JsonRpc.h"

namespace server {

/// A call that failed because another writer was in the way (the store threw
/// TransientStoreError): answered as kInternalError with the database's text, unless a
/// new attempt succeeds first.
class TransientCallError : public wire::RpcError {
  public:
    explicit TransientCallError(const std::string& message)
        : wire::RpcError(wire::rpc::kInternalError, message) {}
};

/// How long to wait before attempt number `attempt` (1 for the first retry): doubling
/// from 20 ms up to one second, with a jitter so that two writers that collided do not
/// collide again in step.
std::chrono::milliseconds retryDelay(int attempt);

/// How many times a store is tried in all before its transient failure is reported.
inline constexpr int kStoreAttempts = 12;

/// Runs call and gives its result; when it throws TransientCallError, waits retryDelay
/// and runs it again, up to kStoreAttempts runs in all.
/// Any other failure, and the last transient one, goes on to the caller. call must leave
/// nothing behind when it fails (a transaction rolled back whole).
nlohmann::json retryTransient(const std::function<nlohmann::json()>& call);

}  // namespace server
