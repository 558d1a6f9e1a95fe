#include "server/store/sqlite/SqliteTransaction.h"

#include <sqlite3.h>

#include "server/store/StoreError.h"
#include "server/store/sqlite/SqliteConnection.h"
#include "server/store/sqlite/SqliteFailure.h"

namespace server {

SqliteTransaction::SqliteTransaction(SqliteConnection& db, const char* begin)
    : db_(db), joined_(sqlite3_get_autocommit(db.get()) == 0) {
    if (joined_) {
        return;
    }
    // SQLite abandons only a statement that runs long enough to be watched: a short one
    // after the shutdown would still run, so no transaction begins then.
    if (db_.watch.interrupted.load()) {
        throw StoreError(StoreFailure::Interrupted,
                         "Erro no banco de dados SQLite (BEGIN): interrompido");
    }
    if (sqlite3_exec(db_.get(), begin, nullptr, nullptr, nullptr) != SQLITE_OK) {
        failSqlite(db_.get(), "BEGIN", &db_.watch);
    }
}

SqliteTransaction::~SqliteTransaction() {
    if (!done_ && !joined_) {
        // A deadline or a shutdown may be what ended the transaction: its rollback
        // must not be cut short too.
        db_.watch.abortable = false;
        sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        db_.watch.abortable = true;
    }
}

void SqliteTransaction::commit() {
    if (joined_) {
        return;
    }
    db_.watch.abortable = false;
    const int rc = sqlite3_exec(db_.get(), "COMMIT", nullptr, nullptr, nullptr);
    db_.watch.abortable = true;
    if (rc != SQLITE_OK) {
        failSqlite(db_.get(), "COMMIT", &db_.watch);
    }
    done_ = true;
}

}  // namespace server
