#pragma once
// Turns one request line into one answer line: no sockets, no threads of its own.

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "PriceService.h"

namespace server {

/// The name of the one remote object this server hosts.
inline constexpr std::string_view kObjectName = "Vnd42400.rdmTabePreco";

/// Routes "Vnd42400.rdmTabePreco.<method>" calls to the service and writes the answer.
/// Thread-safe.
class Dispatcher {
public:
    explicit Dispatcher(PriceService& service) : service_(service) {}

    /// The answer line (without "\n") for a request line; nullopt for a well-formed
    /// notification, which gets no answer. Never throws for anything a peer sends.
    std::optional<std::string> handle(std::string_view line);
    /// The answer to a frame that went over the size limit.
    static std::string oversized(std::size_t limit);

    /// Makes the next call of method (its short name, letter case ignored) answer an error
    /// with this message without running.
    void failNext(const std::string& method, const std::string& message);

private:
    std::optional<std::string> takeFailure(const std::string& method);

    PriceService& service_;
    std::mutex mutex_;
    std::map<std::string, std::string> failures_;  // lower-case short method -> message
};

}  // namespace server
