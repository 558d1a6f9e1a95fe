#pragma once
// A failed SQLite call as the store's error.

#include <string_view>

#include "server/store/sqlite/SqliteWatch.h"

struct sqlite3;

namespace server {

/// Throws the connection's last failure as a StoreError naming `what` (the statement),
/// with the kind its result code stands for: TransientStoreError when another writer was
/// in the way; Interrupted or Timeout when the watch's shutdown or deadline cut the
/// statement, or the wait for that writer, short.
[[noreturn]] void failSqlite(sqlite3* db, std::string_view what,
                             const SqliteWatch* watch = nullptr);

}  // namespace server
