#pragma once
// A fresh, empty server database for one test, on SQLite or PostgreSQL.

#include <memory>
#include <ostream>
#include <optional>
#include <string>
#include <vector>

namespace testdb {

enum class Backend { Sqlite, Postgres };

const char* name(Backend backend);
/// How GoogleTest prints a backend in a test's name.
inline void PrintTo(Backend backend, std::ostream* os) {
    *os << name(backend);
}

/// Why PostgreSQL tests cannot run here, or nullopt when they can.
std::optional<std::string> postgresUnavailable();
/// Why tests on this backend cannot run here (SQLite always can), or nullopt.
std::optional<std::string> unavailable(Backend backend);

/// A database of its own: a temporary SQLite file, or a PostgreSQL schema of its own in
/// the cluster VND_TEST_PG_URL names (so tests may run in parallel). Removed at the end.
class TestDatabase {
public:
    explicit TestDatabase(Backend backend);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    /// The URL the server opens.
    const std::string& url() const { return url_; }
    /// The PostgreSQL schema of its own (empty for SQLite).
    const std::string& schema() const { return schema_; }
    /// Runs SQL directly on the database (to break it on purpose).
    void exec(const std::string& sql);
    /// The rows of a query run directly on the database, every cell as the database's
    /// text ("" for null).
    std::vector<std::vector<std::string>> query(const std::string& sql);

private:
    Backend backend_;
    std::string url_;
    std::string path_;    // SQLite
    std::string schema_;  // PostgreSQL
};

}  // namespace testdb
