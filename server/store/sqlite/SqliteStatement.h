#pragma once
// A kept statement of a SQLite connection, in use.

#include <string_view>
#include <vector>

#include "server/store/SqlStatement.h"

struct sqlite3;
struct sqlite3_stmt;

namespace server {

struct SqliteConnection;
struct SqliteWatch;

/// A kept statement with text binding by position (1-based). It is reset and its
/// bindings cleared when this ends, so an unfinished read never holds its snapshot of the
/// database past its use.
class SqliteStatement {
public:
    /// shared: sql is written for both backends (SqlStatement.h).
    SqliteStatement(SqliteConnection& c, std::string_view sql, bool shared = false);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    /// Binds a copy of text.
    SqliteStatement& bind(int i, std::string_view text);
    /// Binds every present parameter, the first at 1; an absent one stays null.
    void bindAll(const std::vector<SqlParam>& params);
    /// Steps once: true while a row is available. Throws StoreError.
    bool step();
    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3* db_;
    const SqliteWatch* watch_;
    sqlite3_stmt* stmt_;
};

}  // namespace server
