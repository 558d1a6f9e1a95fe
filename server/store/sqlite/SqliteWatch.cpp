#include "server/store/sqlite/SqliteWatch.h"

#include <algorithm>
#include <thread>

#include <sqlite3.h>

namespace server {

namespace {

using Clock = SqliteWatch::Clock;

// A writer in the way is waited for this long at most (unless the deadline comes first);
// then the store fails as busy and the caller may try again.
constexpr auto kBusyWait = std::chrono::seconds(10);

int onProgress(void* data) {
    const SqliteWatch& w = *static_cast<const SqliteWatch*>(data);
    return w.abortable && (w.interrupted.load() || Clock::now() >= w.deadline) ? 1 : 0;
}

int onBusy(void* data, int count) {
    thread_local Clock::time_point firstBusy;
    const SqliteWatch& w = *static_cast<const SqliteWatch*>(data);
    const auto now = Clock::now();
    if (count == 0) {
        firstBusy = now;
    }
    const auto limit = std::min(w.deadline, firstBusy + kBusyWait);
    if (w.interrupted.load() || now >= limit) {
        return 0;
    }
    const auto pause = std::chrono::milliseconds(std::min(1 + count, 20));
    std::this_thread::sleep_for(std::min<Clock::duration>(pause, limit - now));
    return 1;
}

}  // namespace

void SqliteWatch::watch(sqlite3* db) {
    sqlite3_busy_handler(db, onBusy, this);
    sqlite3_progress_handler(db, 1000, onProgress, this);
}

}  // namespace server
