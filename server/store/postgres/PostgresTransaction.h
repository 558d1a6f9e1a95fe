#pragma once
// A transaction on the PostgreSQL connection.

#include <string_view>

namespace server {

struct PostgresConnection;

/// Rolls back unless committed. A transaction left with a command under way (a COPY cut
/// short) or on a connection in doubt is ended by dropping the connection, which the
/// server rolls back. Begun inside another one (a store inside the write transaction that
/// checked it), it is part of that one, which commits or rolls back.
class PostgresTransaction {
public:
    enum class Access { Write, Read };
    /// begin: the statement that opens it, with its isolation and access mode. Throws
    /// StoreError.
    explicit PostgresTransaction(PostgresConnection& c, std::string_view begin = "BEGIN",
                                 Access access = Access::Write);
    ~PostgresTransaction();
    PostgresTransaction(const PostgresTransaction&) = delete;
    PostgresTransaction& operator=(const PostgresTransaction&) = delete;
    /// Throws StoreError; for a write whose COMMIT went unanswered, one that says so
    /// (duringCommit).
    void commit();

private:
    PostgresConnection& c_;
    bool joined_;
    Access access_;
    bool done_ = false;
};

}  // namespace server
