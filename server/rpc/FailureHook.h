#pragma once
// A failure made on purpose: the next call of a method answers an error without running.

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace server {

/// For tests and the scenario runner: arm() makes the next call of a method fail with a
/// message. Asked on every call; unarmed, that costs one atomic load. Thread-safe.
class FailureHook {
public:
    /// The next call of method (its short name, or a name ending in ".method"; letter
    /// case ignored) answers this message.
    void arm(const std::string& method, const std::string& message);
    /// The message armed for method, which is then disarmed; nullopt when none is.
    std::optional<std::string> take(std::string_view method);

private:
    std::atomic<bool> armed_{false};  // failures_ is not empty
    std::mutex mutex_;
    std::map<std::string, std::string> failures_;  // lower-case short method -> message
};

}  // namespace server
