#include "server/store/Timestamps.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace server {

std::string currentTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return buffer;
}

std::string operationTimestamp() {
    using namespace std::chrono;
    static std::atomic<long long> last{0};
    long long ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    long long seen = last.load();
    while (true) {
        const long long next = ms > seen ? ms : seen + 1;
        if (last.compare_exchange_weak(seen, next)) {
            ms = next;
            break;
        }
    }
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char buffer[40];
    const std::size_t n = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &utc);
    std::snprintf(buffer + n, sizeof buffer - n, ".%03lld", ms % 1000);
    return buffer;
}

std::string utcTimestampDaysAgo(int days) {
    const std::time_t then = std::time(nullptr) - static_cast<std::time_t>(days) * 86400;
    std::tm utc{};
    gmtime_r(&then, &utc);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &utc);
    return buffer;
}

}  // namespace server
