#include "TestDatabase.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>

#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

namespace testdb {

namespace {

std::string uniqueSuffix() {
    static std::atomic<int> counter{0};
    std::random_device random;
    return std::to_string(getpid()) + "_" + std::to_string(counter++) + "_" +
           std::to_string(random() % 1000000);
}

using Rows = std::vector<std::vector<std::string>>;

Rows pgQuery(const std::string& url, const std::string& sql) {
    PGconn* conn = PQconnectdb(url.c_str());
    if (PQstatus(conn) != CONNECTION_OK) {
        const std::string why = PQerrorMessage(conn);
        PQfinish(conn);
        throw std::runtime_error("test database: " + why);
    }
    PQsetNoticeProcessor(conn, [](void*, const char*) {}, nullptr);
    PGresult* r = PQexec(conn, sql.c_str());
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
    const std::string why = PQresultErrorMessage(r);
    Rows rows;
    for (int i = 0; ok && i < PQntuples(r); ++i) {
        rows.emplace_back();
        for (int c = 0; c < PQnfields(r); ++c) {
            rows.back().push_back(PQgetvalue(r, i, c));
        }
    }
    PQclear(r);
    PQfinish(conn);
    if (!ok) {
        throw std::runtime_error("test database: " + why);
    }
    return rows;
}

void pgExec(const std::string& url, const std::string& sql) {
    pgQuery(url, sql);
}

int collectRow(void* into, int columns, char** values, char**) {
    auto& rows = *static_cast<Rows*>(into);
    rows.emplace_back();
    for (int c = 0; c < columns; ++c) {
        rows.back().push_back(values[c] ? values[c] : "");
    }
    return 0;
}

}  // namespace

const char* name(Backend backend) {
    return backend == Backend::Sqlite ? "SQLite" : "PostgreSQL";
}

std::optional<std::string> postgresUnavailable() {
    const char* url = std::getenv("VND_TEST_PG_URL");
    if (url == nullptr || *url == '\0') {
        return "VND_TEST_PG_URL is not set: no PostgreSQL cluster for this run "
               "(scripts/test starts one when the PostgreSQL binaries exist)";
    }
    return std::nullopt;
}

std::optional<std::string> unavailable(Backend backend) {
    return backend == Backend::Postgres ? postgresUnavailable() : std::nullopt;
}

TestDatabase::TestDatabase(Backend backend) : backend_(backend) {
    if (backend == Backend::Sqlite) {
        path_ = (std::filesystem::temp_directory_path() / ("vnd-test-" + uniqueSuffix() + ".db"))
                    .string();
        url_ = "sqlite:" + path_;
        return;
    }
    const std::string base = std::getenv("VND_TEST_PG_URL");
    schema_ = "t_" + uniqueSuffix();
    pgExec(base, "CREATE SCHEMA " + schema_);
    url_ = base + (base.find('?') == std::string::npos ? "?" : "&") +
           "options=-csearch_path%3D" + schema_;
}

TestDatabase::~TestDatabase() {
    if (backend_ == Backend::Sqlite) {
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::remove((path_ + suffix).c_str());
        }
        return;
    }
    try {
        pgExec(std::getenv("VND_TEST_PG_URL"), "DROP SCHEMA " + schema_ + " CASCADE");
    } catch (const std::exception&) {
        // A schema left behind goes with the throw-away cluster.
    }
}

void TestDatabase::exec(const std::string& sql) {
    query(sql);
}

Rows TestDatabase::query(const std::string& sql) {
    if (backend_ == Backend::Postgres) {
        return pgQuery(url_, sql);
    }
    sqlite3* db = nullptr;
    sqlite3_open(path_.c_str(), &db);
    char* error = nullptr;
    Rows rows;
    const int rc = sqlite3_exec(db, sql.c_str(), collectRow, &rows, &error);
    const std::string why = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    if (rc != SQLITE_OK) {
        throw std::runtime_error("test database: " + why);
    }
    return rows;
}

}  // namespace testdb
