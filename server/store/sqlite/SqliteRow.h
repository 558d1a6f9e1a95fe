#pragma once
// A result row of SQLite, read straight from its statement.

#include "server/store/SqlStatement.h"

struct sqlite3_stmt;
struct sqlite3_value;

namespace server {

/// The statement's current row. A column holds what it was given: a text is read as a
/// number only when it is one, a fraction never as an integer (StoreError). The cells are
/// read through the values the statement holds, which needs the connection's
/// one-caller-at-a-time mode (SQLITE_OPEN_NOMUTEX): no mutex is held around them.
class SqliteRow : public SqlRow {
public:
    explicit SqliteRow(sqlite3_stmt* stmt) : stmt_(stmt) {}
    bool isNull(int c) const override;
    std::string_view text(int c) const override;
    long long integer(int c) const override;
    double number(int c) const override;

private:
    sqlite3_value* cell(int c) const;
    sqlite3_stmt* stmt_;
};

}  // namespace server
