#include "PriceBookFloor.h"

#include <chrono>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

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

namespace {

using Stmt = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

// One of the three reads: prepared, its branch, table and period bound.
Stmt prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) {
        throw std::runtime_error(std::string("floor: prepare: ") + sqlite3_errmsg(db));
    }
    Stmt owned(stmt, sqlite3_finalize);
    const int count = sqlite3_bind_parameter_count(stmt);
    const char* values[] = {"0001", "001", "2026-01-01"};
    for (int i = 1; i <= count && i <= 3; ++i) {
        sqlite3_bind_text(stmt, i, values[i - 1], -1, SQLITE_STATIC);
    }
    return owned;
}

// The three reads of each kind of file, each in product order along its table's key.
struct BookQueries {
    const char* products;
    const char* prices;
    const char* rules;
};

constexpr const char* kRuleCells =
    "SELECT CDPRODUTO, IDDIA, CDTIPOCONS, HRINI, HRFIN, DTINIVALID,"
    " DTFINVALID, IDDESCACRE, IDVALPERC, VRPRECDIF, IDVISUALIZA, DTULTATU FROM PRECDIF";
constexpr const char* kRuleOrder =
    " ORDER BY CDPRODUTO, IDDIA, CDTIPOCONS, HRINI, HRFIN, DTINIVALID, DTFINVALID";

// The server's database holds every branch and table; a till's file one of each.
BookQueries queriesOf(BookSource source) {
    static const std::string serverRules = std::string(kRuleCells) +
                                           " WHERE CDFILIAL = ?1 AND CDTABEPREC = ?2"
                                           " AND DTINIVGPREC = ?3" + kRuleOrder;
    static const std::string tillRules = std::string(kRuleCells) + " WHERE DTINIVGPREC = ?3" +
                                         kRuleOrder;
    if (source == BookSource::TillFile) {
        return {"SELECT CDPRODUTO, CDARVPROD, NMPRODUTO FROM PRODUTO ORDER BY CDPRODUTO",
                "SELECT CDPRODUTO, VRPRECO FROM ITEMPREC WHERE DTINIVGPREC = ?3"
                " ORDER BY CDPRODUTO",
                tillRules.c_str()};
    }
    return {"SELECT P.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO FROM PRODFILI F"
            " JOIN PRODUTO P ON P.CDPRODUTO = F.CDPRODUTO WHERE F.CDFILIAL = ?1"
            " ORDER BY F.CDPRODUTO",
            "SELECT CDPRODUTO, VRPRECO FROM ITEMPREC WHERE CDFILIAL = ?1"
            " AND CDTABEPREC = ?2 AND DTINIVGPREC = ?3 ORDER BY CDPRODUTO",
            serverRules.c_str()};
}

void done(sqlite3* db, int step) {
    if (step != SQLITE_DONE) {
        throw std::runtime_error(std::string("floor: step: ") + sqlite3_errmsg(db));
    }
}

}  // namespace

double sqlitePriceBookFloor(const std::string& path, FloorBook& book, BookSource source) {
    const BookQueries queries = queriesOf(source);
    const auto start = std::chrono::steady_clock::now();
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
    if (rc != SQLITE_OK) {
        throw std::runtime_error("floor: open " + path);
    }
    // One read transaction for the three reads, as the server's call has.
    sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr);
    book.products.clear();
    book.rules.clear();
    int step = 0;
    {
        Stmt q = prepare(raw, queries.products);
        while ((step = sqlite3_step(q.get())) == SQLITE_ROW) {
            FloorProduct& p = book.products.emplace_back();
            copyText(q.get(), 0, p.code);
            copyText(q.get(), 1, p.treeCode);
            copyText(q.get(), 2, p.name);
            p.base = 0;
            p.hasBase = false;
            p.firstRule = 0;
            p.ruleCount = 0;
        }
        done(raw, step);
    }
    {
        // Base prices in product order, matched to the products as they come.
        Stmt q = prepare(raw, queries.prices);
        std::size_t at = 0;
        while ((step = sqlite3_step(q.get())) == SQLITE_ROW) {
            const auto* code = reinterpret_cast<const char*>(sqlite3_column_text(q.get(), 0));
            while (at < book.products.size() && std::strcmp(book.products[at].code, code) < 0) {
                ++at;
            }
            if (at < book.products.size() && std::strcmp(book.products[at].code, code) == 0) {
                book.products[at].base = sqlite3_column_double(q.get(), 1);
                book.products[at].hasBase = true;
            }
        }
        done(raw, step);
    }
    {
        Stmt q = prepare(raw, queries.rules);
        std::size_t at = 0;
        sqlite3_stmt* stmt = q.get();
        while ((step = sqlite3_step(stmt)) == SQLITE_ROW) {
            const auto* code = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            while (at < book.products.size() && std::strcmp(book.products[at].code, code) < 0) {
                ++at;
            }
            if (at == book.products.size() || std::strcmp(book.products[at].code, code) != 0) {
                continue;  // a rule of a product the branch no longer sells
            }
            FloorRule& r = book.rules.emplace_back();
            const auto* day = sqlite3_column_text(stmt, 1);
            r.day = day != nullptr ? static_cast<char>(day[0]) : ' ';
            copyText(stmt, 2, r.consumerType);
            copyText(stmt, 3, r.timeStart);
            copyText(stmt, 4, r.timeEnd);
            copyText(stmt, 5, r.validFrom);
            copyText(stmt, 6, r.validTo);
            r.surcharge = sqlite3_column_int(stmt, 7);
            r.percentage = sqlite3_column_int(stmt, 8);
            r.amount = sqlite3_column_double(stmt, 9);
            r.display = sqlite3_column_int(stmt, 10);
            FloorProduct& p = book.products[at];
            if (p.ruleCount++ == 0) {
                p.firstRule = static_cast<int>(book.rules.size() - 1);
            }
        }
        done(raw, step);
    }
    sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
    db.reset();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace bench
