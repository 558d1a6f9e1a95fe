#include "server/rpc/FailureHook.h"

#include "server/rpc/AsciiLower.h"

namespace server {

namespace {

std::string shortName(std::string_view method) {
    const auto dot = method.rfind('.');
    return asciiLower(dot == std::string_view::npos ? method : method.substr(dot + 1));
}

}  // namespace

void FailureHook::arm(const std::string& method, const std::string& message) {
    std::lock_guard lock(mutex_);
    failures_[shortName(method)] = message;
    armed_.store(true, std::memory_order_release);
}

// Armed by tests only: the flag keeps the lock and the lower-case copy of the name off
// the path of every real call.
std::optional<std::string> FailureHook::take(std::string_view method) {
    if (!armed_.load(std::memory_order_acquire)) {
        return std::nullopt;
    }
    std::lock_guard lock(mutex_);
    const auto it = failures_.find(shortName(method));
    if (it == failures_.end()) {
        return std::nullopt;
    }
    std::string message = std::move(it->second);
    failures_.erase(it);
    armed_.store(!failures_.empty(), std::memory_order_release);
    return message;
}

}  // namespace server
