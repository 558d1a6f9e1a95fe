#include "server/store/sqlite/SqliteBackup.h"

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace server {

namespace {

struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

Database open(const std::string& path, int flags, const std::string& what) {
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
    Database db(raw);
    if (rc != SQLITE_OK) {
        throw std::runtime_error("Não foi possível abrir " + what + " " + path + ": " +
                                 (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc)) + ".");
    }
    // A writer holds its lock for a moment; the copy waits for it rather than failing.
    sqlite3_busy_timeout(db.get(), 5000);
    return db;
}

// The first column of the first row a pragma gives as text; "" when it gives none or fails.
std::string singleValue(sqlite3* db, const char* sql) {
    sqlite3_stmt* raw = nullptr;
    std::string value;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) == SQLITE_OK &&
        sqlite3_step(raw) == SQLITE_ROW && sqlite3_column_text(raw, 0) != nullptr) {
        value = reinterpret_cast<const char*>(sqlite3_column_text(raw, 0));
    }
    sqlite3_finalize(raw);
    return value;
}

}  // namespace

long backupSqlite(const std::string& source, const std::string& target) {
    namespace fs = std::filesystem;
    if (!fs::is_regular_file(source)) {
        throw std::runtime_error("O banco de dados " + source + " não existe.");
    }
    Database from = open(source, SQLITE_OPEN_READONLY, "o banco de dados");
    const std::string partial = target + ".parcial";
    fs::remove(partial);
    // Made by us, for the owner only, before SQLite opens it: the copy holds the same
    // prices as the database.
    const int fd = ::open(partial.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) {
        throw std::runtime_error("Não foi possível criar a cópia " + partial + ".");
    }
    ::close(fd);
    long pages = 0;
    try {
        Database to = open(partial, SQLITE_OPEN_READWRITE, "a cópia");
        sqlite3_backup* backup = sqlite3_backup_init(to.get(), "main", from.get(), "main");
        if (backup == nullptr) {
            throw std::runtime_error("Não foi possível copiar " + source + ": " +
                                     sqlite3_errmsg(to.get()) + ".");
        }
        // All pages in one step: the copy then reads under one read transaction and so
        // sees one state of the database, whatever writers do meanwhile. A step is tried
        // again a few times while a writer holds its lock.
        int rc = SQLITE_OK;
        for (int attempt = 0; attempt < 50; ++attempt) {
            rc = sqlite3_backup_step(backup, -1);
            if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        pages = sqlite3_backup_pagecount(backup);
        // finish gives the first failure of the copy, which a step may not have told.
        const int finished = sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE || finished != SQLITE_OK) {
            throw std::runtime_error("A cópia de " + source + " falhou: " +
                                     sqlite3_errstr(rc != SQLITE_DONE ? rc : finished) + ".");
        }
        const std::string verdict = singleValue(to.get(), "PRAGMA quick_check");
        if (verdict != "ok") {
            throw std::runtime_error("A cópia de " + source + " não passou na verificação: " +
                                     verdict + ".");
        }
        // The copy goes back to a single file: a backup is one file to keep. The pragma
        // answers the mode it left the file in, which is the old one when it could not
        // change it.
        if (singleValue(to.get(), "PRAGMA journal_mode=DELETE") != "delete") {
            throw std::runtime_error("A cópia de " + source +
                                     " não pôde ser fechada num só arquivo: " +
                                     sqlite3_errmsg(to.get()) + ".");
        }
    } catch (...) {
        fs::remove(partial);
        throw;
    }
    fs::rename(partial, target);
    return pages;
}

}  // namespace server
