#pragma once
// One connection to the SQLite file, with what its statements need.

#include <memory>
#include <string>
#include <string_view>

#include "server/store/StoreFactory.h"
#include "server/store/sqlite/SqliteStatementCache.h"
#include "server/store/sqlite/SqliteWatch.h"

struct sqlite3;

namespace server {

/// The connection, its kept statements, the deadline and shutdown that bound them, and
/// the history's state for the change under way.
struct SqliteConnection {
    /// Opens the file in WAL mode, its handlers watching `watch`. With MayCreate a
    /// missing one is made, readable by its owner only. Throws std::runtime_error, naming
    /// the path when it must exist and does not.
    SqliteConnection(const std::string& path, Creation creation);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    sqlite3* get() const { return handle.get(); }
    /// Runs SQL that gives no rows, outside the statement cache.
    void exec(std::string_view sql);

    struct Close {
        void operator()(sqlite3* db) const;
    };
    std::unique_ptr<sqlite3, Close> handle;
    SqliteStatementCache statements;  ///< finalized before the handle closes
    SqliteWatch watch;
    std::string operationTime;   ///< DTOPERACAO of the change under way
    bool historyTrigger = false;  ///< the history's trigger is made for good
};

}  // namespace server
