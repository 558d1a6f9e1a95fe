#include "server/store/postgres/PostgresConnection.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>

#include "server/store/DatabaseUrl.h"
#include "server/store/postgres/PostgresCancel.h"
#include "server/store/postgres/PostgresFailure.h"

namespace server {

namespace {

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

long long millisecondsOf(std::chrono::milliseconds d) {
    return static_cast<long long>(d.count());
}

}  // namespace

void PostgresConnection::ClearResult::operator()(PGresult* r) const {
    PQclear(r);
}

void PostgresConnection::Finish::operator()(PGconn* c) const {
    PQfinish(c);
}

PostgresConnection::PostgresConnection(std::string connectionUrl,
                                       const StoreSettings& storeSettings)
    : url(std::move(connectionUrl)), settings(storeSettings) {}

PostgresConnection::~PostgresConnection() = default;

[[noreturn]] void PostgresConnection::fail(std::string_view what, const PGresult* r) {
    const char* detail = r ? PQresultErrorMessage(r) : (h() ? PQerrorMessage(h()) : "");
    std::string text =
        "Erro no banco de dados PostgreSQL (" + std::string(what) + "): " + trimmed(detail);
    StoreFailure kind = postgresFailureOf(r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr);
    if (!h() || PQstatus(h()) == CONNECTION_BAD) {
        kind = StoreFailure::Lost;
    }
    if (kind == StoreFailure::Lost) {
        drop();
    }
    if (kind == StoreFailure::Busy) {
        throw TransientStoreError(text);
    }
    throw StoreError(kind, text, committing && kind == StoreFailure::Lost);
}

// Gives the connection up without waiting for the server: the socket is closed, and
// the server rolls back whatever transaction it had open. A statement still running
// there is cancelled as well: the server would not notice the closed socket before
// the statement ends, and would hold its locks until then.
void PostgresConnection::drop() {
    if (handle) {
        if (PQtransactionStatus(h()) == PQTRANS_ACTIVE) {
            cancelInBackground(h());
        }
        PQsetnonblocking(h(), 1);  // the goodbye message must not block either
        handle.reset();
    }
    inTransaction = false;
}

[[noreturn]] void PostgresConnection::abandon(StoreFailure kind, std::string_view what) {
    const bool commit = committing;
    drop();
    std::string text;
    if (kind == StoreFailure::Interrupted) {
        text = "Operação no banco de dados PostgreSQL abandonada no encerramento do servidor (" +
               std::string(what) + ")";
    } else if (kind == StoreFailure::Unavailable) {
        text = "Não foi possível conectar ao banco de dados PostgreSQL: sem resposta em " +
               std::to_string(std::chrono::duration_cast<std::chrono::seconds>(
                                  settings.connectTimeout)
                                  .count()) +
               " s";
    } else {
        text = "O banco de dados PostgreSQL não respondeu até o prazo da chamada (" +
               std::string(what) + ")";
    }
    throw StoreError(kind, text, commit);
}

// Waits until the socket is ready for events, the deadline passes or the server
// shuts down. Slices of at most 100 ms keep the shutdown prompt.
void PostgresConnection::waitFor(short events, std::string_view what, Clock::time_point limit,
                                 StoreFailure onLimit) {
    for (;;) {
        if (interrupted.load()) {
            abandon(StoreFailure::Interrupted, what);
        }
        const auto now = Clock::now();
        if (now >= limit) {
            abandon(limit == deadline ? StoreFailure::Timeout : onLimit, what);
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(limit - now);
        pollfd p{PQsocket(h()), events, 0};
        const int rc = ::poll(&p, 1, static_cast<int>(std::clamp<long long>(
                                          millisecondsOf(left), 1, 100)));
        if (rc > 0) {
            return;
        }
        if (rc < 0 && errno != EINTR) {
            fail(what);
        }
    }
}

void PostgresConnection::open() {
    // Our defaults come before the URL, so that a URL that sets its own keepalives
    // wins; everything else is the URL's.
    const std::string idle = std::to_string(settings.keepaliveIdle.count());
    const char* keys[] = {"keepalives", "keepalives_idle", "keepalives_interval",
                          "keepalives_count", "dbname", nullptr};
    const char* values[] = {"1", idle.c_str(), "10", "3", url.c_str(), nullptr};
    handle.reset(PQconnectStartParams(keys, values, 1));
    if (!handle || PQstatus(h()) == CONNECTION_BAD) {
        const std::string why = handle ? trimmed(PQerrorMessage(h())) : "sem memória";
        handle.reset();
        // libpq's message may repeat the URI, or the password alone, when it cannot
        // parse it.
        throw StoreError(StoreFailure::Unavailable,
                         maskPasswords("Não foi possível conectar ao banco de dados PostgreSQL: " + why, url));
    }
    const auto limit = std::min(deadline, Clock::now() + settings.connectTimeout);
    PostgresPollingStatusType state = PGRES_POLLING_WRITING;
    while (state != PGRES_POLLING_OK) {
        if (state == PGRES_POLLING_FAILED) {
            const std::string why = trimmed(PQerrorMessage(h()));
            handle.reset();
            throw StoreError(StoreFailure::Unavailable,
                             maskPasswords("Não foi possível conectar ao banco de dados "
                                           "PostgreSQL: " + why, url));
        }
        waitFor(state == PGRES_POLLING_READING ? POLLIN : POLLOUT, "conexão", limit,
                StoreFailure::Unavailable);
        state = PQconnectPoll(h());
    }
    PQsetnonblocking(h(), 1);
    // Notices ("relation already exists, skipping") are not errors; keep stderr quiet.
    PQsetNoticeProcessor(h(), [](void*, const char*) {}, nullptr);
    exec("SET client_encoding TO 'UTF8'");
    exec("SET DateStyle TO ISO");
    if (settings.statementTimeout.count() > 0) {
        // The database ends a statement that runs past the call's own bound itself,
        // and releases its locks, even when nobody waits for it any more.
        exec("SET statement_timeout = " + std::to_string(settings.statementTimeout.count()));
    }
}

// A connection that dropped (the database restarted, a deadline passed) is opened
// again before a statement, never inside a transaction.
void PostgresConnection::ensureOpen() {
    if (handle && PQstatus(h()) == CONNECTION_OK) {
        return;
    }
    if (inTransaction) {
        drop();
        throw StoreError(StoreFailure::Lost,
                         "A conexão com o banco de dados PostgreSQL caiu durante a transação",
                         committing);
    }
    handle.reset();
    open();
}

// Repeats a libpq call that queues data for the server (it answers 1 when taken, 0
// while the socket is full, -1 on failure) until the data is taken.
void PostgresConnection::queue(const std::function<int()>& put, std::string_view what) {
    for (;;) {
        const int rc = put();
        if (rc == 1) {
            return;
        }
        if (rc < 0) {
            fail(what);
        }
        waitFor(POLLOUT, what, deadline);
    }
}

// Pushes what libpq holds for the server out, as far as the socket takes it.
void PostgresConnection::flushOut(std::string_view what) {
    for (;;) {
        const int rc = PQflush(h());
        if (rc == 0) {
            return;
        }
        if (rc < 0) {
            fail(what);
        }
        waitFor(POLLOUT | POLLIN, what, deadline);
        if (!PQconsumeInput(h())) {
            fail(what);
        }
    }
}

// The results of the command sent: the error of any, else the last one. A COPY
// that waits for its lines is returned at once.
PostgresResult PostgresConnection::collect(std::string_view what) {
    PostgresResult last;
    for (;;) {
        while (PQisBusy(h())) {
            waitFor(POLLIN, what, deadline);
            if (!PQconsumeInput(h())) {
                fail(what);
            }
        }
        PostgresResult r(PQgetResult(h()));
        if (!r) {
            break;
        }
        const auto status = PQresultStatus(r.get());
        if (status == PGRES_COPY_IN) {
            return r;
        }
        const bool lastFailed =
            last && PQresultStatus(last.get()) != PGRES_COMMAND_OK &&
            PQresultStatus(last.get()) != PGRES_TUPLES_OK;
        if (!lastFailed) {
            last = std::move(r);
        }
    }
    const auto status = last ? PQresultStatus(last.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        fail(what, last.get());
    }
    return last;
}

PostgresResult PostgresConnection::exec(std::string_view sql,
                                        const std::vector<SqlParam>& params) {
    ensureOpen();
    std::vector<const char*> values;
    values.reserve(params.size());
    for (const SqlParam& p : params) {
        values.push_back(p ? p->c_str() : nullptr);
    }
    const std::string text(sql);
    const std::string_view what = sql.substr(0, 40);
    if (!PQsendQueryParams(h(), text.c_str(), static_cast<int>(values.size()), nullptr,
                           values.data(), nullptr, nullptr, 0)) {
        fail(what);
    }
    flushOut(what);
    return collect(what);
}

}  // namespace server
