#include "server/store/sqlite/SqliteStatementCache.h"

#include <sqlite3.h>

#include "server/store/SqlStatement.h"
#include "server/store/sqlite/SqliteFailure.h"

namespace server {

void SqliteStatementCache::Finalize::operator()(sqlite3_stmt* s) const {
    sqlite3_finalize(s);
}

sqlite3_stmt* SqliteStatementCache::get(sqlite3* db, std::string_view sql, bool shared) {
    auto it = prepared_.find(sql);
    if (it != prepared_.end()) {
        return it->second.get();
    }
    const std::string text = shared ? renderSql(sql, SqlDialect::Sqlite) : std::string(sql);
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v3(db, text.data(), static_cast<int>(text.size()),
                           SQLITE_PREPARE_PERSISTENT, &raw, nullptr) != SQLITE_OK) {
        failSqlite(db, text);
    }
    prepared_.emplace(std::string(sql), raw);
    return raw;
}

}  // namespace server
