#pragma once
// A transaction on the SQLite connection.

namespace server {

struct SqliteConnection;

/// Rolls back unless committed, so every failure path leaves the database as it was.
/// Begun inside another one (a store inside the write transaction that checked it), it is
/// part of that one, which commits or rolls back.
class SqliteTransaction {
public:
    /// "BEGIN IMMEDIATE" (for writing) takes the write lock up front: a busy database
    /// waits (busy handler) here instead of failing half-way through the rows. A plain
    /// "BEGIN" (for reading) takes the log's read lock at the first read and keeps it to
    /// the end. Throws StoreError.
    explicit SqliteTransaction(SqliteConnection& db, const char* begin = "BEGIN IMMEDIATE");
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;
    /// Throws StoreError; a commit on a local file is short and whole, never abandoned
    /// half-way, so its outcome is never in doubt.
    void commit();

private:
    SqliteConnection& db_;
    bool joined_;
    bool done_ = false;
};

}  // namespace server
