#include "StoreFloor.h"

#include <chrono>
#include <memory>
#include <vector>
#include <stdexcept>

#include <libpq-fe.h>
#include <sqlite3.h>

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kColumns =
    "CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, IDDIA, CDTIPOCONS, HRINI, HRFIN, DTINIVALID,"
    " DTFINVALID, IDDESCACRE, IDVALPERC, VRPRECDIF, IDVISUALIZA";
constexpr const char* kKey =
    "CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, IDDIA, CDTIPOCONS, HRINI, HRFIN, DTINIVALID,"
    " DTFINVALID";

void check(sqlite3* db, int rc, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        throw std::runtime_error(std::string("floor: ") + what + ": " + sqlite3_errmsg(db));
    }
}

}  // namespace

double sqliteUpsertFloor(const std::string& path, const FloorRows& rows, FloorHistory history) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open(path.c_str(), &raw);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
    check(raw, rc, "open");
    check(raw, sqlite3_exec(raw, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr), "WAL");
    check(raw, sqlite3_exec(raw, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr), "sync");
    const std::string sql = std::string("INSERT INTO PRECDIF (") + kColumns +
                            ", DTULTATU) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"
                            " ON CONFLICT (" +
                            kKey +
                            ") DO UPDATE SET IDDESCACRE = excluded.IDDESCACRE,"
                            " IDVALPERC = excluded.IDVALPERC, VRPRECDIF = excluded.VRPRECDIF,"
                            " IDVISUALIZA = excluded.IDVISUALIZA, DTULTATU = excluded.DTULTATU";
    // The row about to be replaced, copied with the values that replace it; the same
    // fifteen parameters as the upsert, so both are bound alike.
    const std::string copy =
        "INSERT INTO PRECDIFHIST (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, IDDIA,"
        " CDTIPOCONS, HRINI, HRFIN, DTINIVALID, DTFINVALID, IDOPERACAO, DTOPERACAO, NMUSUARIO,"
        " NMESTACAO, IDDESCACRE_ANT, IDVALPERC_ANT, VRPRECDIF_ANT, IDVISUALIZA_ANT,"
        " DTULTATU_ANT, IDDESCACRE, IDVALPERC, VRPRECDIF, IDVISUALIZA) SELECT " +
        std::string(kKey) +
        ", 'S', ?15, '', '127.0.0.1', IDDESCACRE, IDVALPERC, VRPRECDIF, IDVISUALIZA, DTULTATU,"
        " ?11, ?12, ?13, ?14 FROM PRECDIF WHERE CDFILIAL = ?1 AND CDTABEPREC = ?2"
        " AND DTINIVGPREC = ?3 AND CDPRODUTO = ?4 AND IDDIA = ?5 AND CDTIPOCONS = ?6"
        " AND HRINI = ?7 AND HRFIN = ?8 AND DTINIVALID = ?9 AND DTFINVALID = ?10";
    std::vector<std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>> statements;
    for (const std::string* text : {&sql, &copy}) {
        if (text == &copy && history == FloorHistory::None) {
            break;
        }
        sqlite3_stmt* stmt = nullptr;
        check(raw, sqlite3_prepare_v2(raw, text->c_str(), -1, &stmt, nullptr), "prepare");
        statements.emplace_back(stmt, sqlite3_finalize);
        // The columns every row shares are bound once; per row only product and day change.
        int column = 0;
        for (const char* value : {"0001", "001", "2026-01-01", "", "", "T", "0001", "2359",
                                  "2026-02-01", "2026-02-28"}) {
            sqlite3_bind_text(stmt, ++column, value, -1, SQLITE_STATIC);
        }
        sqlite3_bind_int(stmt, 11, 0);
        sqlite3_bind_int(stmt, 12, 0);
        sqlite3_bind_double(stmt, 13, 1.5);
        sqlite3_bind_int(stmt, 14, 1);
        sqlite3_bind_text(stmt, 15, "2026-01-15 10:00:00", -1, SQLITE_STATIC);
    }

    // One change row per product, as the server names a product's rows of one period.
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> log(nullptr, sqlite3_finalize);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> highest(nullptr, sqlite3_finalize);
    if (history == FloorHistory::CopyReplacedAndLog) {
        sqlite3_stmt* stmt = nullptr;
        check(raw, sqlite3_prepare_v2(raw, "INSERT INTO ALTPRECO (NRALTERACAO, DTALTERACAO,"
                                           " CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO,"
                                           " IDALTERACAO) VALUES (?1, '2026-01-15 10:00:00',"
                                           " '0001', '001', '2026-01-01', ?2, 'R')",
                                      -1, &stmt, nullptr),
              "prepare");
        log.reset(stmt);
        check(raw, sqlite3_prepare_v2(raw, "SELECT COALESCE(MAX(NRALTERACAO), 0) FROM ALTPRECO",
                                      -1, &stmt, nullptr),
              "prepare");
        highest.reset(stmt);
    }

    const auto start = Clock::now();
    check(raw, sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), "BEGIN");
    sqlite3_int64 number = 0;
    if (highest) {
        check(raw, sqlite3_step(highest.get()), "step");
        number = sqlite3_column_int64(highest.get(), 0);
    }
    for (const std::string& product : rows.products) {
        for (const char& day : rows.days) {
            // The history's copy first, while the row still holds its old values.
            for (auto it = statements.rbegin(); it != statements.rend(); ++it) {
                sqlite3_stmt* stmt = it->get();
                sqlite3_bind_text(stmt, 4, product.data(), static_cast<int>(product.size()),
                                  SQLITE_STATIC);
                sqlite3_bind_text(stmt, 5, &day, 1, SQLITE_STATIC);
                check(raw, sqlite3_step(stmt), "step");
                sqlite3_reset(stmt);
            }
        }
        if (log) {
            sqlite3_bind_int64(log.get(), 1, ++number);
            sqlite3_bind_text(log.get(), 2, product.data(), static_cast<int>(product.size()),
                              SQLITE_STATIC);
            check(raw, sqlite3_step(log.get()), "step");
            sqlite3_reset(log.get());
        }
    }
    check(raw, sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr), "COMMIT");
    return std::chrono::duration<double>(Clock::now() - start).count();
}

namespace {

struct PgDone {
    void operator()(PGconn* c) const { PQfinish(c); }
};
struct PgClear {
    void operator()(PGresult* r) const { PQclear(r); }
};

void pgExec(PGconn* conn, const std::string& sql) {
    std::unique_ptr<PGresult, PgClear> r(PQexec(conn, sql.c_str()));
    const auto status = PQresultStatus(r.get());
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        throw std::runtime_error("floor: " + sql.substr(0, 40) + ": " +
                                 PQresultErrorMessage(r.get()));
    }
}

}  // namespace

double postgresCopyMergeFloor(const std::string& url, const FloorRows& rows) {
    std::unique_ptr<PGconn, PgDone> conn(PQconnectdb(url.c_str()));
    if (PQstatus(conn.get()) != CONNECTION_OK) {
        throw std::runtime_error(std::string("floor: ") + PQerrorMessage(conn.get()));
    }
    PQsetNoticeProcessor(
        conn.get(), [](void*, const char*) {}, nullptr);
    std::string text;
    text.reserve(rows.products.size() * rows.days.size() * 80);
    for (const std::string& product : rows.products) {
        for (char day : rows.days) {
            text += "0001\t001\t2026-01-01\t";
            text += product;
            text += '\t';
            text += day;
            text += "\tT\t0001\t2359\t2026-02-01\t2026-02-28\t0\t0\t1.5\t1\n";
        }
    }

    const auto start = Clock::now();
    pgExec(conn.get(), "BEGIN");
    pgExec(conn.get(),
           "CREATE TEMP TABLE FLOOR_IN (CDFILIAL VARCHAR(4), CDTABEPREC VARCHAR(3),"
           " DTINIVGPREC DATE, CDPRODUTO VARCHAR(10), IDDIA CHAR(1), CDTIPOCONS VARCHAR(2),"
           " HRINI CHAR(4), HRFIN CHAR(4), DTINIVALID DATE, DTFINVALID DATE,"
           " IDDESCACRE SMALLINT, IDVALPERC SMALLINT, VRPRECDIF DOUBLE PRECISION,"
           " IDVISUALIZA SMALLINT) ON COMMIT DROP");
    {
        std::unique_ptr<PGresult, PgClear> r(PQexec(
            conn.get(), (std::string("COPY FLOOR_IN (") + kColumns + ") FROM STDIN").c_str()));
        if (PQresultStatus(r.get()) != PGRES_COPY_IN) {
            throw std::runtime_error("floor: COPY did not start");
        }
    }
    constexpr std::size_t kChunk = 256 * 1024;
    for (std::size_t at = 0; at < text.size(); at += kChunk) {
        const std::size_t n = std::min(kChunk, text.size() - at);
        if (PQputCopyData(conn.get(), text.data() + at, static_cast<int>(n)) != 1) {
            throw std::runtime_error("floor: COPY failed");
        }
    }
    if (PQputCopyEnd(conn.get(), nullptr) != 1) {
        throw std::runtime_error("floor: COPY end failed");
    }
    bool copied = true;
    while (PGresult* r = PQgetResult(conn.get())) {
        copied = copied && PQresultStatus(r) == PGRES_COMMAND_OK;
        PQclear(r);
    }
    if (!copied) {
        throw std::runtime_error(std::string("floor: COPY: ") + PQerrorMessage(conn.get()));
    }
    pgExec(conn.get(), std::string("INSERT INTO PRECDIF (") + kColumns + ", DTULTATU) SELECT " +
                           kColumns + ", TIMESTAMP '2026-01-15 10:00:00' FROM FLOOR_IN" +
                           " ON CONFLICT (" + kKey +
                           ") DO UPDATE SET IDDESCACRE = EXCLUDED.IDDESCACRE,"
                           " IDVALPERC = EXCLUDED.IDVALPERC, VRPRECDIF = EXCLUDED.VRPRECDIF,"
                           " IDVISUALIZA = EXCLUDED.IDVISUALIZA, DTULTATU = EXCLUDED.DTULTATU");
    pgExec(conn.get(), "COMMIT");
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace bench
