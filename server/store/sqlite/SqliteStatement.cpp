#include "server/store/sqlite/SqliteStatement.h"

#include <sqlite3.h>

#include "server/store/sqlite/SqliteConnection.h"
#include "server/store/sqlite/SqliteFailure.h"

namespace server {

SqliteStatement::SqliteStatement(SqliteConnection& c, std::string_view sql, bool shared)
    : db_(c.get()), watch_(&c.watch), stmt_(c.statements.get(c.get(), sql, shared)) {}

SqliteStatement::~SqliteStatement() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

SqliteStatement& SqliteStatement::bind(int i, std::string_view text) {
    sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

void SqliteStatement::bindAll(const std::vector<SqlParam>& params) {
    for (std::size_t i = 0; i < params.size(); ++i) {
        if (params[i]) {
            bind(static_cast<int>(i) + 1, *params[i]);
        }
    }
}

bool SqliteStatement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc != SQLITE_DONE) {
        failSqlite(db_, sqlite3_sql(stmt_), watch_);
    }
    return false;
}

}  // namespace server
