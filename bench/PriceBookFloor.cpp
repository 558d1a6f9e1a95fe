#include "PriceBookFloor.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <stdexcept>

#include <sqlite3.h>

namespace bench {

namespace {

// Copies a text column into a fixed cell, cut at the cell's size.
template <std::size_t N>
void copyText(sqlite3_stmt* stmt, int column, char (&cell)[N]) {
    const auto* text = sqlite3_column_text(stmt, column);
    const auto n = std::min<std::size_t>(static_cast<std::size_t>(sqlite3_column_bytes(stmt, column)), N - 1);
    if (text != nullptr) {
        std::memcpy(cell, text, n);
    }
    cell[text != nullptr ? n : 0] = '\0';
}

}  // namespace

double sqlitePriceBookFloor(const std::string& path, FloorBook& book) {
    const auto start = std::chrono::steady_clock::now();
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
    if (rc != SQLITE_OK) {
        throw std::runtime_error("floor: open " + path);
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(
            raw,
            "SELECT P.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO, I.VRPRECO, R.CDFILIAL, R.CDTABEPREC,"
            " R.DTINIVGPREC, R.CDPRODUTO, R.IDDIA, R.CDTIPOCONS, R.HRINI, R.HRFIN, R.DTINIVALID,"
            " R.DTFINVALID, R.IDDESCACRE, R.IDVALPERC, R.VRPRECDIF, R.IDVISUALIZA, R.DTULTATU"
            " FROM PRODFILI F JOIN PRODUTO P ON P.CDPRODUTO = F.CDPRODUTO"
            " LEFT JOIN ITEMPREC I ON I.CDFILIAL = F.CDFILIAL AND I.CDTABEPREC = ?2"
            " AND I.DTINIVGPREC = ?3 AND I.CDPRODUTO = F.CDPRODUTO"
            " LEFT JOIN PRECDIF R ON R.CDFILIAL = F.CDFILIAL AND R.CDTABEPREC = ?2"
            " AND R.DTINIVGPREC = ?3 AND R.CDPRODUTO = F.CDPRODUTO"
            " WHERE F.CDFILIAL = ?1 ORDER BY F.CDPRODUTO, R.IDDIA, R.CDTIPOCONS, R.HRINI,"
            " R.HRFIN, R.DTINIVALID, R.DTFINVALID",
            -1, &stmt, nullptr) != SQLITE_OK) {
        throw std::runtime_error(std::string("floor: prepare: ") + sqlite3_errmsg(raw));
    }
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> owned(stmt, sqlite3_finalize);
    sqlite3_bind_text(stmt, 1, "0001", -1, SQLITE_STATIC);
    sqlite3_bind_text(stmt, 2, "001", -1, SQLITE_STATIC);
    sqlite3_bind_text(stmt, 3, "2026-01-01", -1, SQLITE_STATIC);
    book.products.clear();
    book.rules.clear();
    int step = 0;
    while ((step = sqlite3_step(stmt)) == SQLITE_ROW) {
        const auto* code = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        if (book.products.empty() || std::strcmp(book.products.back().code, code) != 0) {
            FloorProduct& p = book.products.emplace_back();
            copyText(stmt, 0, p.code);
            copyText(stmt, 1, p.treeCode);
            copyText(stmt, 2, p.name);
            p.hasBase = sqlite3_column_type(stmt, 3) != SQLITE_NULL;
            p.base = sqlite3_column_double(stmt, 3);
            p.firstRule = static_cast<int>(book.rules.size());
            p.ruleCount = 0;
        }
        if (sqlite3_column_type(stmt, 4) == SQLITE_NULL) {
            continue;
        }
        FloorRule& r = book.rules.emplace_back();
        const auto* day = sqlite3_column_text(stmt, 8);
        r.day = day != nullptr ? static_cast<char>(day[0]) : ' ';
        copyText(stmt, 9, r.consumerType);
        copyText(stmt, 10, r.timeStart);
        copyText(stmt, 11, r.timeEnd);
        copyText(stmt, 12, r.validFrom);
        copyText(stmt, 13, r.validTo);
        r.surcharge = sqlite3_column_int(stmt, 14);
        r.percentage = sqlite3_column_int(stmt, 15);
        r.amount = sqlite3_column_double(stmt, 16);
        r.display = sqlite3_column_int(stmt, 17);
        ++book.products.back().ruleCount;
    }
    if (step != SQLITE_DONE) {
        throw std::runtime_error(std::string("floor: step: ") + sqlite3_errmsg(raw));
    }
    owned.reset();
    db.reset();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace bench
