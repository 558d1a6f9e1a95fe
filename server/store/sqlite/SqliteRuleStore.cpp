#include "server/store/sqlite/SqliteRuleStore.h"

#include <algorithm>
#include <string>
#include <thread>
#include <variant>

#include <sqlite3.h>

#include "server/store/Schema.h"
#include "server/store/Timestamps.h"
#include "server/store/sqlite/SqliteConnection.h"
#include "server/store/sqlite/SqliteRow.h"
#include "server/store/sqlite/SqliteRuleWriter.h"
#include "server/store/sqlite/SqliteStatement.h"
#include "server/store/sqlite/SqliteTransaction.h"

namespace server {

namespace {

// The texts the history trigger writes with every replaced row: who and when, as the
// store was told for the change under way.
void resultText(sqlite3_context* context, const std::string& text) {
    sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}
void callerUser(sqlite3_context* context, int, sqlite3_value**) {
    resultText(context, static_cast<const RuleStore*>(sqlite3_user_data(context))->caller().user);
}
void callerStation(sqlite3_context* context, int, sqlite3_value**) {
    resultText(context,
               static_cast<const RuleStore*>(sqlite3_user_data(context))->caller().station);
}
void operationTime(sqlite3_context* context, int, sqlite3_value**) {
    resultText(context, *static_cast<const std::string*>(sqlite3_user_data(context)));
}

}  // namespace

SqliteRuleStore::SqliteRuleStore(const std::string& path, Creation creation)
    : db_(std::make_unique<SqliteConnection>(path, creation)) {
    sqlite3_create_function(db_->get(), "vnd_caller_user", 0, SQLITE_UTF8,
                            static_cast<RuleStore*>(this), callerUser, nullptr, nullptr);
    sqlite3_create_function(db_->get(), "vnd_caller_station", 0, SQLITE_UTF8,
                            static_cast<RuleStore*>(this), callerStation, nullptr, nullptr);
    sqlite3_create_function(db_->get(), "vnd_operation_time", 0, SQLITE_UTF8,
                            &db_->operationTime, operationTime, nullptr, nullptr);
}

SqliteRuleStore::~SqliteRuleStore() = default;

void SqliteRuleStore::setDeadline(std::chrono::steady_clock::time_point deadline) {
    db_->watch.deadline = deadline;
}

void SqliteRuleStore::query(std::string_view sql, const std::vector<SqlParam>& params,
                            const std::function<void(const SqlRow&)>& fn, SqlRows) {
    // A SQLite read already steps through its rows one at a time.
    SqliteStatement q(*db_, sql, true);
    q.bindAll(params);
    const SqliteRow row(q.get());
    while (q.step()) {
        fn(row);
    }
}

long SqliteRuleStore::execute(std::string_view sql, const std::vector<SqlParam>& params) {
    SqliteStatement q(*db_, sql, true);
    q.bindAll(params);
    while (q.step()) {
    }
    return sqlite3_changes(db_->get());
}

bool SqliteRuleStore::readsAlongside() {
    // The connection asked for WAL when it opened; a file SQLite may not write keeps the
    // journal it had, and its readers would keep a writer out.
    std::string mode;
    query("PRAGMA journal_mode", {}, [&](const SqlRow& r) { mode = r.text(0); }, SqlRows::Few);
    return mode == "wal";
}

void SqliteRuleStore::readTogether(const std::function<void()>& body) {
    SqliteTransaction tx(*db_, "BEGIN");
    body();
    tx.commit();
}

void SqliteRuleStore::runWriteTransaction(const std::function<void()>& body, WriteScope) {
    // The history's trigger is made before the transaction, for the stores inside it, so
    // that no rollback takes it away; a database without rules yet has none to make.
    if (!db_->historyTrigger && hasTable("PRECDIF")) {
        prepareHistory();
    }
    // Every write transaction has the database to itself: BEGIN IMMEDIATE takes the one
    // write lock.
    SqliteTransaction tx(*db_);
    db_->operationTime = operationTimestamp();
    body();
    tx.commit();
}

void SqliteRuleStore::interrupt() {
    db_->watch.interrupted = true;
    sqlite3_interrupt(db_->get());
}

bool SqliteRuleStore::awaitChangeNotice(std::chrono::milliseconds timeout) {
    // SQLite tells no one of a commit; the file's data version, which every commit of
    // another connection moves on, is looked at instead.
    std::this_thread::sleep_for(std::min(timeout, std::chrono::milliseconds(100)));
    long long version = 0;
    query("PRAGMA data_version", {}, [&](const SqlRow& r) { version = r.integer(0); },
          SqlRows::Few);
    const bool changed = version != dataVersion_;
    dataVersion_ = version;
    return changed;
}

bool SqliteRuleStore::hasTable(std::string_view name) {
    SqliteStatement q(*db_, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?");
    q.bind(1, name);
    return q.step();
}

void SqliteRuleStore::insertRows(std::string_view table, std::string_view columns,
                                 const std::function<bool(std::vector<SqlCell>&)>& next) {
    std::string sql = "INSERT INTO " + std::string(table) + " (" + std::string(columns) +
                      ") VALUES (?";
    for (const char c : columns) {
        if (c == ',') {
            sql += ",?";
        }
    }
    sql += ")";
    // One prepared insert for every row: up to a million of them for the largest sets.
    SqliteStatement insert(*db_, sql);
    std::vector<SqlCell> cells;
    while (next(cells)) {
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const int at = static_cast<int>(i) + 1;
            if (const auto* text = std::get_if<std::string_view>(&cells[i])) {
                sqlite3_bind_text(insert.get(), at, text->data(), static_cast<int>(text->size()),
                                  SQLITE_STATIC);
            } else if (std::holds_alternative<std::nullptr_t>(cells[i])) {
                sqlite3_bind_null(insert.get(), at);
            } else {
                sqlite3_bind_double(insert.get(), at, std::get<double>(cells[i]));
            }
        }
        insert.step();
        sqlite3_reset(insert.get());
    }
}

// Every row an upsert replaces is copied into the history by a trigger of this
// connection, in the same statement: no second look-up of the row, no extra bindings.
// The trigger is made outside any write transaction, so that no rollback of a store can
// take it away again once it is known to be there.
void SqliteRuleStore::prepareHistory() {
    if (db_->historyTrigger) {
        return;
    }
    db_->exec(
        "CREATE TEMP TRIGGER IF NOT EXISTS PRECDIF_HISTORIA BEFORE UPDATE ON main.PRECDIF"
        " BEGIN " +
        schema::historyInsert({.before = "OLD",
                               .after = "NEW",
                               .when = "vnd_operation_time()",
                               .user = "vnd_caller_user()",
                               .station = "vnd_caller_station()"}) +
        "; END");
    // Made inside a write transaction (a store inside the one that checked it), it goes
    // with that transaction's rollback: it is made again by every store until one outside
    // any transaction has made it for good.
    db_->historyTrigger = sqlite3_get_autocommit(db_->get()) != 0;
}

UpsertCounts SqliteRuleStore::upsertRules(const std::vector<RuleRow>& rows) {
    prepareHistory();
    SqliteTransaction tx(*db_);
    db_->operationTime = operationTimestamp();
    SqliteRuleWriter writer(*db_, currentTimestamp());
    for (const RuleRow& r : rows) {
        writer.write(r);
    }
    tx.commit();
    return writer.counts();
}

UpsertCounts SqliteRuleStore::upsertRule(const RuleRows& rows) {
    prepareHistory();
    SqliteTransaction tx(*db_);
    db_->operationTime = operationTimestamp();
    SqliteRuleWriter writer(*db_, currentTimestamp());
    rows.forEach([&](const RuleRow& r) { writer.write(r); });
    tx.commit();
    return writer.counts();
}

}  // namespace server
