#include "server/ops/Metrics.h"

#include "server/ops/NumberText.h"

namespace server {

namespace {

// Label values are method names the server knows, but a backslash, quote or line break
// would break the page, so they are escaped as the format asks.
std::string label(std::string_view value) {
    std::string text;
    for (const char c : value) {
        if (c == '\\' || c == '"') {
            text += '\\';
            text += c;
        } else if (c == '\n') {
            text += "\\n";
        } else {
            text += c;
        }
    }
    return text;
}

void counter(std::string& page, const char* name, const char* help, long value) {
    page += std::string("# HELP ") + name + ' ' + help + "\n# TYPE " + name + " counter\n" +
            name + ' ' + std::to_string(value) + '\n';
}

}  // namespace

void Metrics::recordCall(std::string_view method, bool ok, std::chrono::nanoseconds duration) {
    const double seconds = std::chrono::duration<double>(duration).count();
    std::lock_guard lock(mutex_);
    auto it = calls_.find(method);
    if (it == calls_.end()) {
        it = calls_.emplace(std::string(method), CallSeries{}).first;
    }
    CallSeries& series = it->second;
    ++series.count;
    if (!ok) {
        ++series.errors;
    }
    series.seconds += seconds;
    for (std::size_t i = 0; i < kBuckets.size(); ++i) {
        if (seconds <= kBuckets[i]) {
            ++series.buckets[i];
            break;
        }
    }
}

void Metrics::addRows(long stored, long replaced) {
    stored_ += stored;
    replaced_ += replaced;
}

void Metrics::addRemoved(long removed) {
    removed_ += removed;
}

void Metrics::watchConnections(std::function<std::size_t()> count) {
    std::lock_guard lock(mutex_);
    openConnections_ = std::move(count);
}

void Metrics::authFailure() {
    ++authFailures_;
}

void Metrics::databaseError() {
    ++databaseErrors_;
}

std::string Metrics::render() const {
    std::string page;
    page +=
        "# HELP vnd_calls_total Calls of the remote object's methods, by method and result.\n"
        "# TYPE vnd_calls_total counter\n";
    std::size_t open = 0;
    std::string histogram =
        "# HELP vnd_call_duration_seconds Time from a call's arrival to its answer.\n"
        "# TYPE vnd_call_duration_seconds histogram\n";
    {
        std::lock_guard lock(mutex_);
        open = openConnections_ ? openConnections_() : 0;
        for (const auto& [method, series] : calls_) {
            const std::string m = "method=\"" + label(method) + "\"";
            page += "vnd_calls_total{" + m + ",result=\"ok\"} " +
                    std::to_string(series.count - series.errors) + '\n';
            page += "vnd_calls_total{" + m + ",result=\"error\"} " +
                    std::to_string(series.errors) + '\n';
            long cumulative = 0;
            for (std::size_t i = 0; i < kBuckets.size(); ++i) {
                cumulative += series.buckets[i];
                histogram += "vnd_call_duration_seconds_bucket{" + m + ",le=\"" +
                             numberText(kBuckets[i]) + "\"} " + std::to_string(cumulative) + '\n';
            }
            histogram += "vnd_call_duration_seconds_bucket{" + m + ",le=\"+Inf\"} " +
                         std::to_string(series.count) + '\n';
            histogram += "vnd_call_duration_seconds_sum{" + m + "} " + numberText(series.seconds) +
                         '\n';
            histogram += "vnd_call_duration_seconds_count{" + m + "} " +
                         std::to_string(series.count) + '\n';
        }
    }
    page += histogram;
    counter(page, "vnd_rows_stored_total", "Rule rows written by stores, replaced ones included.",
            stored_);
    counter(page, "vnd_rows_replaced_total", "Rule rows overwritten by a store.", replaced_);
    counter(page, "vnd_rows_removed_total", "Rule rows removed.", removed_);
    page += "# HELP vnd_open_connections Client connections open now.\n"
            "# TYPE vnd_open_connections gauge\n"
            "vnd_open_connections " + std::to_string(open) + '\n';
    counter(page, "vnd_auth_failures_total", "Connections refused for a missing or wrong token.",
            authFailures_);
    counter(page, "vnd_database_errors_total",
            "Calls that failed in the database or did not get its answer in time.",
            databaseErrors_);
    return page;
}

}  // namespace server
