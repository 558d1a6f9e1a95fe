#include "RuleCensus.h"

#include <cstdlib>
#include <memory>
#include <stdexcept>

#include <libpq-fe.h>
#include <sqlite3.h>

namespace reliability {

namespace {

const std::string kQuery =
    "SELECT COUNT(*), COUNT(DISTINCT VRPRECDIF), COALESCE(MIN(VRPRECDIF), 0) FROM PRECDIF"
    " WHERE CDFILIAL = '0001' AND DTINIVALID = '";

Census sqliteCensus(const std::string& path, const std::string& validFrom) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, decltype(&sqlite3_close_v2)> db(raw, sqlite3_close_v2);
    if (rc != SQLITE_OK) {
        throw std::runtime_error("sqlite open: " + path);
    }
    sqlite3_busy_timeout(db.get(), 30000);
    sqlite3_stmt* stmt = nullptr;
    const std::string sql = kQuery + validFrom + "'";
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        throw std::runtime_error(sqlite3_errmsg(db.get()));
    }
    std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> guard(stmt, sqlite3_finalize);
    if (sqlite3_step(stmt) != SQLITE_ROW) {
        throw std::runtime_error(sqlite3_errmsg(db.get()));
    }
    return {sqlite3_column_int64(stmt, 0), sqlite3_column_int64(stmt, 1),
            sqlite3_column_double(stmt, 2)};
}

Census postgresCensus(const std::string& url, const std::string& validFrom) {
    std::unique_ptr<PGconn, decltype(&PQfinish)> conn(PQconnectdb(url.c_str()), PQfinish);
    if (PQstatus(conn.get()) != CONNECTION_OK) {
        throw std::runtime_error(PQerrorMessage(conn.get()));
    }
    const std::string sql = kQuery + validFrom + "'";
    std::unique_ptr<PGresult, decltype(&PQclear)> r(PQexec(conn.get(), sql.c_str()), PQclear);
    if (PQresultStatus(r.get()) != PGRES_TUPLES_OK) {
        throw std::runtime_error(PQerrorMessage(conn.get()));
    }
    return {std::atol(PQgetvalue(r.get(), 0, 0)), std::atol(PQgetvalue(r.get(), 0, 1)),
            std::strtod(PQgetvalue(r.get(), 0, 2), nullptr)};
}

}  // namespace

Census census(const std::string& url, const std::string& validFrom) {
    if (url.rfind("sqlite:", 0) == 0) {
        return sqliteCensus(url.substr(7), validFrom);
    }
    return postgresCensus(url, validFrom);
}

}  // namespace reliability
