#include "server/store/sqlite/SqliteFailure.h"

#include <string>

#include <sqlite3.h>

#include "server/store/StoreError.h"

namespace server {

namespace {

StoreFailure failureOf(int code, const SqliteWatch* watch) {
    using Clock = SqliteWatch::Clock;
    switch (code & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            // The wait for the other writer ends early at the shutdown and at the deadline:
            // then that, not the writer, is why the statement failed.
            if (watch && watch->interrupted.load()) {
                return StoreFailure::Interrupted;
            }
            return watch && Clock::now() >= watch->deadline ? StoreFailure::Timeout
                                                            : StoreFailure::Busy;
        case SQLITE_INTERRUPT:
            return watch && watch->interrupted.load() ? StoreFailure::Interrupted
                                                      : StoreFailure::Timeout;
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return StoreFailure::Permission;
        case SQLITE_READONLY:
            return StoreFailure::ReadOnly;
        case SQLITE_FULL:
        case SQLITE_NOMEM:
            return StoreFailure::Space;
        case SQLITE_CANTOPEN:
        case SQLITE_IOERR:
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return StoreFailure::Unavailable;
        default:
            return StoreFailure::Other;
    }
}

}  // namespace

[[noreturn]] void failSqlite(sqlite3* db, std::string_view what, const SqliteWatch* watch) {
    std::string text =
        "Erro no banco de dados SQLite (" + std::string(what) + "): " + sqlite3_errmsg(db);
    const StoreFailure kind = failureOf(sqlite3_extended_errcode(db), watch);
    if (kind == StoreFailure::Busy) {
        throw TransientStoreError(text);
    }
    throw StoreError(kind, text);
}

}  // namespace server
