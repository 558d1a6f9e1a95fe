#pragma once
// The plain HTTP port an administrator's monitoring reads: /metrics and /healthz.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace server {

/// Serves, on its own thread and port, GET /metrics (the server's counters in the
/// Prometheus text format) and GET /healthz (200 "ok" when health() finds nothing wrong,
/// else 503 with what it found, a line each); anything else is 404, a method other than GET or HEAD 405. One request
/// per connection, answered and closed; a peer gets a few seconds to send its request.
/// Both functions run on the endpoint's one thread and must answer at once: one that
/// waits (for a database) holds every page.
/// Nothing secret is on these pages, but the port should stay on loopback or a
/// monitoring network all the same.
class MetricsEndpoint {
public:
    using Page = std::function<std::string()>;
    /// What is wrong, one line per fault; empty when nothing is.
    using Health = std::function<std::string()>;

    /// Listens on listen ("HOST:PORT", port 0 picks a free one) at once. Throws
    /// std::runtime_error (Portuguese text) when it cannot.
    MetricsEndpoint(const std::string& listen, Page metrics, Health health);
    /// Stops listening and ends the thread.
    ~MetricsEndpoint();
    MetricsEndpoint(const MetricsEndpoint&) = delete;
    MetricsEndpoint& operator=(const MetricsEndpoint&) = delete;

    unsigned short port() const;

    /// The whole HTTP/1.0 answer to a request head (request line and headers): no I/O.
    static std::string answer(std::string_view head, const Page& metrics, const Health& health);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace server
