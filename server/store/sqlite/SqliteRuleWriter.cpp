#include "server/store/sqlite/SqliteRuleWriter.h"

#include <sqlite3.h>

#include "server/store/Schema.h"
#include "server/store/sqlite/SqliteConnection.h"

namespace server {

namespace {

// The one statement every rule row is written with.
std::string ruleUpsertSql() {
    return "INSERT INTO PRECDIF (" + std::string(schema::kRuleColumns) +
           ", DTULTATU) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"
           " ON CONFLICT (" +
           std::string(schema::kRuleKey) +
           ") DO UPDATE SET IDDESCACRE = excluded.IDDESCACRE,"
           " IDVALPERC = excluded.IDVALPERC,"
           " VRPRECDIF = excluded.VRPRECDIF,"
           " IDVISUALIZA = excluded.IDVISUALIZA,"
           " DTULTATU = excluded.DTULTATU";
}

}  // namespace

SqliteRuleWriter::SqliteRuleWriter(SqliteConnection& c, std::string now)
    : db_(c.get()), upsert_(c, ruleUpsertSql()), now_(std::move(now)) {
    bindHeld(15, now_);
}

void SqliteRuleWriter::write(const RuleRow& r) {
    text(1, branch_, r.branch);
    text(2, table_, r.table);
    date(3, periodStart_, r.periodStart);
    text(4, product_, r.product);
    if (first_ || day_[0] != r.day) {
        day_[0] = r.day;
        sqlite3_bind_text(upsert_.get(), 5, day_, 1, SQLITE_STATIC);
    }
    text(6, consumerType_, r.consumerType);
    text(7, timeStart_, r.timeStart);
    text(8, timeEnd_, r.timeEnd);
    date(9, validFrom_, r.validFrom);
    date(10, validTo_, r.validTo);
    integer(11, adjustment_, columnValue(r.adjustment));
    integer(12, amountKind_, columnValue(r.amountKind));
    if (first_ || amount_ != r.amount) {
        amount_ = r.amount;
        sqlite3_bind_double(upsert_.get(), 13, amount_);
    }
    integer(14, display_, columnValue(r.display));
    first_ = false;
    // An upsert that updates leaves the last insert rowid alone; only a new row sets it
    // (rowids SQLite picks are never 0). This tells replaced rows from new ones without
    // a second look-up per row.
    sqlite3_set_last_insert_rowid(db_, 0);
    upsert_.step();
    sqlite3_reset(upsert_.get());  // keeps the bindings
    ++counts_.stored;
    if (sqlite3_last_insert_rowid(db_) == 0) {
        ++counts_.replaced;
    }
}

void SqliteRuleWriter::bindHeld(int i, const std::string& held) {
    sqlite3_bind_text(upsert_.get(), i, held.data(), static_cast<int>(held.size()),
                      SQLITE_STATIC);
}

void SqliteRuleWriter::text(int i, std::string& held, const std::string& value) {
    if (first_ || held != value) {
        held = value;
        bindHeld(i, held);
    }
}

void SqliteRuleWriter::date(int i, HeldDate& held, const wire::Date& value) {
    if (first_ || !(held.date == value)) {
        held.date = value;
        held.text = value.iso();
        bindHeld(i, held.text);
    }
}

void SqliteRuleWriter::integer(int i, int& held, int value) {
    if (first_ || held != value) {
        held = value;
        sqlite3_bind_int64(upsert_.get(), i, value);
    }
}

}  // namespace server
