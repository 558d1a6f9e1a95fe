#include "server/store/sqlite/SqliteConnection.h"

#include <cerrno>
#include <stdexcept>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include "server/store/sqlite/SqliteFailure.h"

namespace server {

void SqliteConnection::Close::operator()(sqlite3* db) const {
    sqlite3_close_v2(db);
}

SqliteConnection::SqliteConnection(const std::string& path, Creation creation) {
    if (creation == Creation::MayCreate) {
        // SQLite would make the file by the umask, readable by everyone as a rule; made
        // here first it is the owner's alone, and SQLite gives its -wal and -shm files
        // the same mode. An existing file keeps the mode its owner gave it.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
        }
    } else {
        struct stat found {};
        if (::stat(path.c_str(), &found) != 0 && errno == ENOENT) {
            throw std::runtime_error("O banco de dados SQLite " + path +
                                     " não existe; crie-o com vnd-server init --db sqlite:" +
                                     path + ".");
        }
    }
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(
        path.c_str(), &raw,
        // One caller at a time (the store's contract), so SQLite's own lock around every
        // call is not needed. Without CREATE a file removed since the check above is
        // an error, not a new empty database.
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX |
            (creation == Creation::MayCreate ? SQLITE_OPEN_CREATE : 0),
        nullptr);
    handle.reset(raw);
    if (rc != SQLITE_OK) {
        throw std::runtime_error("Não foi possível abrir o banco de dados SQLite " + path + ": " +
                                 (raw ? sqlite3_errmsg(raw) : "sem memória"));
    }
    watch.watch(get());
    exec("PRAGMA journal_mode=WAL");
    exec("PRAGMA synchronous=NORMAL");
}

SqliteConnection::~SqliteConnection() = default;

void SqliteConnection::exec(std::string_view sql) {
    const std::string text(sql);
    if (sqlite3_exec(get(), text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        failSqlite(get(), sql, &watch);
    }
}

}  // namespace server
