#pragma once
// The server's counters for monitoring, in the Prometheus text format.

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace server {

/// What a server has done since it started: calls by method and result with their
/// durations, rows stored, replaced and removed, open connections, authentication
/// failures and database errors. Updated by the dispatcher and the connections, read by
/// the /metrics page. Thread-safe; cheap enough to update on every call.
class Metrics {
public:
    /// The upper bounds (seconds) of the call duration histogram's buckets, +Inf aside.
    static constexpr std::array<double, 12> kBuckets{0.001, 0.005, 0.01, 0.025, 0.05, 0.1,
                                                     0.25,  0.5,   1,    2.5,   10,   60};

    /// One call ended. method is the label as shown (a bounded set of names: the caller
    /// folds unknown methods into one); ok false for an error answer.
    void recordCall(std::string_view method, bool ok, std::chrono::nanoseconds duration);
    /// Rows a store wrote anew and rows it overwrote.
    void addRows(long stored, long replaced);
    /// Rows a call removed.
    void addRemoved(long removed);
    /// Where the open connections are counted when the page is made (an empty function:
    /// none open, the server stopped).
    void watchConnections(std::function<std::size_t()> count);
    void authFailure();
    void databaseError();

    /// Every metric in the Prometheus text exposition format (version 0.0.4).
    std::string render() const;

private:
    struct CallSeries {
        long count = 0;
        long errors = 0;
        double seconds = 0;
        std::array<long, kBuckets.size()> buckets{};  // per bucket, not cumulative
    };

    mutable std::mutex mutex_;
    std::map<std::string, CallSeries, std::less<>> calls_;  // by method
    std::atomic<long> stored_{0};
    std::atomic<long> replaced_{0};
    std::atomic<long> removed_{0};
    std::function<std::size_t()> openConnections_;  // guarded by mutex_
    std::atomic<long> authFailures_{0};
    std::atomic<long> databaseErrors_{0};
};

}  // namespace server
