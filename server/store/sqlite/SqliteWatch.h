#pragma once
// What bounds the statements of one SQLite connection: the call's deadline and the
// server's shutdown.

#include <atomic>
#include <chrono>

struct sqlite3;

namespace server {

/// The deadline and the shutdown as SQLite's handlers see them. The progress handler,
/// asked now and then while a statement runs, abandons it past either; the busy handler,
/// asked while another writer holds the lock, waits for that writer until either, or
/// for ten seconds at most (the store then fails as busy and the caller may try again).
struct SqliteWatch {
    using Clock = std::chrono::steady_clock;

    Clock::time_point deadline = Clock::time_point::max();
    std::atomic<bool> interrupted{false};
    bool abortable = true;  ///< false while a transaction ends: rollback and commit run whole

    /// Installs both handlers on db, watching this, which must outlive the connection.
    void watch(sqlite3* db);
};

}  // namespace server
