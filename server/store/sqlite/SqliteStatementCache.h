#pragma once
// The statements of one SQLite connection, each prepared once and kept.

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace server {

/// Kept statements: a lookup then costs its bindings and steps, not a parse of its SQL
/// every time. Finalizes them when it ends, which must be before the connection closes.
class SqliteStatementCache {
public:
    /// The kept statement for sql, prepared on db the first time. A statement written for
    /// both backends (shared, SqlStatement.h) is kept under its shared text and rendered
    /// only when first prepared. Throws StoreError when SQLite refuses it.
    sqlite3_stmt* get(sqlite3* db, std::string_view sql, bool shared = false);

private:
    struct Finalize {
        void operator()(sqlite3_stmt* s) const;
    };
    struct Hash : std::hash<std::string_view> {
        using is_transparent = void;
    };
    std::unordered_map<std::string, std::unique_ptr<sqlite3_stmt, Finalize>, Hash,
                       std::equal_to<>>
        prepared_;
};

}  // namespace server
