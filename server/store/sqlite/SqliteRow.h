#pragma once
// A result row of SQLite, read straight from its statement.

#include "server/store/SqlStatement.h"

struct sqlite3_stmt;

namespace server {

/// The statement's current row. A column holds what it was given: a text is read as a
/// number only when it is one, a fraction never as an integer (StoreError).
class SqliteRow : public SqlRow {
public:
    explicit SqliteRow(sqlite3_stmt* stmt) : stmt_(stmt) {}
    bool isNull(int c) const override;
    std::string_view text(int c) const override;
    long long integer(int c) const override;
    double number(int c) const override;

private:
    bool storedAsText(int c) const;
    sqlite3_stmt* stmt_;
};

}  // namespace server
