#pragma once
// One libpq connection, driven without blocking.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <libpq-fe.h>

#include "server/store/RuleStore.h"

namespace server {

/// Every wait for the database is a poll bounded by the call's deadline and watched for
/// the server's shutdown, so a database that stops answering (a hung host, a stopped
/// postmaster) costs the caller its deadline, never a thread for ever. A connection that
/// broke or timed out is dropped (its running statement cancelled) and opened again by
/// the next statement outside a transaction. Every method throws StoreError.
struct PostgresConnection {
    using Clock = std::chrono::steady_clock;
    struct ClearResult {
        void operator()(PGresult* r) const;
    };
    struct Finish {
        void operator()(PGconn* c) const;
    };

    PostgresConnection(std::string url, const StoreSettings& settings);
    ~PostgresConnection();
    PostgresConnection(const PostgresConnection&) = delete;
    PostgresConnection& operator=(const PostgresConnection&) = delete;

    PGconn* h() const { return handle.get(); }

    /// Connects, within the connect timeout and the deadline.
    void open();
    /// Opens the connection again when it dropped; inside a transaction that is a
    /// failure (Lost) instead.
    void ensureOpen();
    /// Runs one statement with its parameters bound; its result (rows or none).
    std::unique_ptr<PGresult, ClearResult> exec(std::string_view sql,
                                                const std::vector<SqlParam>& params = {});
    /// The results of the command sent: the error of any, else the last one. A COPY that
    /// waits for its lines is returned at once.
    std::unique_ptr<PGresult, ClearResult> collect(std::string_view what);
    /// Repeats put, a libpq call that queues data for the server (1 taken, 0 while the
    /// socket is full, -1 failed), until the data is taken.
    void queue(const std::function<int()>& put, std::string_view what);
    /// Pushes what libpq holds for the server out, as far as the socket takes it.
    void flushOut(std::string_view what);
    /// Throws the failure of what (of its result r when given); a connection that broke
    /// is dropped first.
    [[noreturn]] void fail(std::string_view what, const PGresult* r = nullptr);
    /// Gives the connection up without waiting for the server.
    void drop();

    std::string url;
    StoreSettings settings;
    std::unique_ptr<PGconn, Finish> handle;
    Clock::time_point deadline = Clock::time_point::max();
    std::atomic<bool> interrupted{false};
    bool inTransaction = false;
    bool committing = false;

private:
    [[noreturn]] void abandon(StoreFailure kind, std::string_view what);
    void waitFor(short events, std::string_view what, Clock::time_point limit,
                 StoreFailure onLimit = StoreFailure::Timeout);
};

/// A result of libpq, cleared when it ends.
using PostgresResult = std::unique_ptr<PGresult, PostgresConnection::ClearResult>;

}  // namespace server
