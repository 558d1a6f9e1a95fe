#include "LocalDatabase.h"

#include <memory>
#include <stdexcept>
#include <vector>

#include <sqlite3.h>

namespace demo {

namespace {

struct CloseDb {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct FinalizeStmt {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using DbHandle = std::unique_ptr<sqlite3, CloseDb>;
using StmtHandle = std::unique_ptr<sqlite3_stmt, FinalizeStmt>;

[[noreturn]] void fail(sqlite3* db, const std::string& what) {
    throw std::runtime_error("banco local: " + what + ": " + sqlite3_errmsg(db));
}

void exec(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        fail(db, sql);
    }
}

// Inserts rows of text columns through one prepared statement.
void insertRows(sqlite3* db, const char* sql, const std::vector<std::vector<std::string>>& rows) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) {
        fail(db, sql);
    }
    StmtHandle stmt(raw);
    for (const auto& row : rows) {
        sqlite3_reset(stmt.get());
        for (std::size_t i = 0; i < row.size(); ++i) {
            sqlite3_bind_text(stmt.get(), static_cast<int>(i + 1), row[i].data(),
                              static_cast<int>(row[i].size()), SQLITE_TRANSIENT);
        }
        if (sqlite3_step(stmt.get()) != SQLITE_DONE) {
            fail(db, sql);
        }
    }
}

}  // namespace

void writeLocalDatabase(const std::string& sqlitePath, int products) {
    writeLocalDatabase(sqlitePath, makeDataSet(products));
}

void writeLocalDatabase(const std::string& sqlitePath, const DataSet& set) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(sqlitePath.c_str(), &raw,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    DbHandle db(raw);
    if (rc != SQLITE_OK) {
        fail(raw, "não foi possível abrir " + sqlitePath);
    }
    sqlite3_busy_timeout(db.get(), 5000);
    exec(db.get(), "BEGIN IMMEDIATE");
    try {
        // The tables are dropped and made again so that a file written by an older build
        // gets today's columns.
        exec(db.get(),
             "DROP TABLE IF EXISTS TIPOCONSFILI; DROP TABLE IF EXISTS TIPOCONS;"
             "DROP TABLE IF EXISTS PRODFILI; DROP TABLE IF EXISTS PRODUTO;"
             "DROP TABLE IF EXISTS FILIAL;"
             "CREATE TABLE FILIAL (CDFILIAL VARCHAR(4) PRIMARY KEY, NMFILIAL VARCHAR(30),"
             " CDSEGMER VARCHAR(5), SEGMENTO VARCHAR(48), IDPRECDIFCOM VARCHAR(1),"
             " CDGRPRODPDV VARCHAR(10), GRUPOPROD VARCHAR(53), IDUTMODPRODFIL VARCHAR(1));"
             "CREATE TABLE PRODUTO (CDPRODUTO VARCHAR(10) PRIMARY KEY,"
             " CDARVPROD VARCHAR(20) NOT NULL, NMPRODUTO VARCHAR(50) NOT NULL);"
             "CREATE TABLE PRODFILI (CDFILIAL VARCHAR(4) NOT NULL,"
             " CDPRODUTO VARCHAR(10) NOT NULL, PRIMARY KEY (CDFILIAL, CDPRODUTO));"
             "CREATE TABLE TIPOCONS (CDTIPOCONS VARCHAR(2) PRIMARY KEY,"
             " NMTIPOCONS VARCHAR(30) NOT NULL);"
             "CREATE TABLE TIPOCONSFILI (CDFILIAL VARCHAR(4) NOT NULL,"
             " CDTIPOCONS VARCHAR(2) NOT NULL, PRIMARY KEY (CDFILIAL, CDTIPOCONS));");
        std::vector<std::vector<std::string>> rows;
        for (const Branch& b : set.branches) {
            rows.push_back({b.code, b.name, b.segmentCode, b.segment, b.differentiatedPrices,
                            b.posGroupCode, b.posGroup, b.usesProductModule});
        }
        insertRows(db.get(), "INSERT INTO FILIAL VALUES (?,?,?,?,?,?,?,?)", rows);
        rows.clear();
        for (const Product& p : set.products) {
            rows.push_back({p.code, p.treeCode, p.name});
        }
        insertRows(db.get(), "INSERT INTO PRODUTO VALUES (?,?,?)", rows);
        rows.clear();
        for (const BranchLink& link : set.assortment) {
            rows.push_back({link.branch, link.code});
        }
        insertRows(db.get(), "INSERT INTO PRODFILI VALUES (?,?)", rows);
        rows.clear();
        for (const ConsumerType& type : set.consumerTypes) {
            rows.push_back({type.code, type.name});
        }
        insertRows(db.get(), "INSERT INTO TIPOCONS VALUES (?,?)", rows);
        rows.clear();
        for (const BranchLink& link : set.consumerTypeBranches) {
            rows.push_back({link.branch, link.code});
        }
        insertRows(db.get(), "INSERT INTO TIPOCONSFILI VALUES (?,?)", rows);
        exec(db.get(), "COMMIT");
    } catch (...) {
        sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

}  // namespace demo
