#include "TransientFailure.h"

#include <algorithm>
#include <array>
#include <random>
#include <thread>

#include "protocol/JsonRpc.h"

namespace server {

bool isTransientStoreFailure(std::string_view message) {
    // The stores pass the database's own text on (SQLite's sqlite3_errmsg, libpq's
    // message with its SQLSTATE wording); these are the texts of the failures that a
    // concurrent writer causes and that leave nothing behind once rolled back.
    static constexpr std::array<std::string_view, 7> kTransient = {
        "database is locked",          // SQLITE_BUSY
        "database table is locked",    // SQLITE_LOCKED
        "database schema is locked",   // SQLITE_LOCKED_SHAREDCACHE
        "could not serialize access",  // 40001 serialization_failure
        "deadlock detected",           // 40P01 deadlock_detected
        "canceling statement due to lock timeout",  // 55P03 lock_not_available
        "could not obtain lock",                    // 55P03 from NOWAIT
    };
    return std::any_of(kTransient.begin(), kTransient.end(), [&](std::string_view text) {
        return message.find(text) != std::string_view::npos;
    });
}

std::chrono::milliseconds retryDelay(int attempt) {
    thread_local std::minstd_rand random{std::random_device{}()};
    const int shift = std::clamp(attempt - 1, 0, 6);
    const long base = std::min(20L << shift, 1000L);
    std::uniform_int_distribution<long> jitter(0, base / 2);
    return std::chrono::milliseconds(base + jitter(random));
}

nlohmann::json retryTransient(const std::function<nlohmann::json()>& call) {
    for (int attempt = 1;; ++attempt) {
        try {
            return call();
        } catch (const wire::RpcError& e) {
            if (e.code() != wire::rpc::kInternalError || attempt >= kStoreAttempts ||
                !isTransientStoreFailure(e.what())) {
                throw;
            }
        }
        std::this_thread::sleep_for(retryDelay(attempt));
    }
}

}  // namespace server
