#include "server/store/postgres/PostgresRuleStore.h"

#include <poll.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include <libpq-fe.h>

#include "server/store/DatabaseUrl.h"
#include "server/store/Schema.h"
#include "server/ops/NumberText.h"
#include "server/store/Timestamps.h"

namespace server {

namespace {

using Param = std::optional<std::string>;

struct ClearResult {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ClearResult>;

struct FinishConn {
    void operator()(PGconn* c) const { PQfinish(c); }
};

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

// COPY's text format: backslash escapes for the few characters it gives a meaning to.
void appendCopyField(std::string& line, std::string_view value) {
    for (char c : value) {
        switch (c) {
            case '\\': line += "\\\\"; break;
            case '\t': line += "\\t"; break;
            case '\n': line += "\\n"; break;
            case '\r': line += "\\r"; break;
            default: line += c;
        }
    }
}

// classifies a failed statement by its SQLSTATE: what another writer causes, what a
// missing privilege causes, and so on, whatever language the server writes its
// messages in.
StoreFailure failureOf(const char* state) {
    if (state == nullptr) {
        return StoreFailure::Other;
    }
    const std::string_view code(state);
    if (code == "40001" || code == "40P01" || code == "55P03") {
        return StoreFailure::Busy;
    }
    if (code == "42501") {
        return StoreFailure::Permission;
    }
    if (code == "25006") {
        return StoreFailure::ReadOnly;
    }
    if (code == "57014") {
        return StoreFailure::Timeout;  // the server's own statement_timeout
    }
    if (code == "53300") {
        return StoreFailure::Unavailable;  // too many connections
    }
    if (code.starts_with("53")) {
        return StoreFailure::Space;
    }
    if (code.starts_with("08") || code == "57P01" || code == "57P02" || code == "57P03") {
        return StoreFailure::Lost;
    }
    return StoreFailure::Other;
}

// Asks the server to cancel the connection's running statement, on a thread of its own:
// the request opens a connection of its own, which libpq makes without any bound, and a
// caller abandons a statement exactly when the server may not be answering. A few such
// requests at a time at most; beyond them the statement ends by the server's own bound.
void cancelInBackground(PGconn* conn) {
    static std::atomic<int> underWay{0};
    if (underWay.fetch_add(1) >= 4) {
        --underWay;
        return;
    }
    PGcancel* cancel = PQgetCancel(conn);
    if (cancel == nullptr) {
        --underWay;
        return;
    }
    try {
        std::thread([cancel] {
            char error[256];
            PQcancel(cancel, error, sizeof error);
            PQfreeCancel(cancel);
            --underWay;
        }).detach();
    } catch (const std::system_error&) {
        PQfreeCancel(cancel);  // no thread to be had: the server's own bound ends it
        --underWay;
    }
}

long long millisecondsOf(std::chrono::milliseconds d) {
    return static_cast<long long>(d.count());
}

}  // namespace

// One libpq connection driven without blocking: every wait for the database is a poll
// bounded by the call's deadline and watched for the server's shutdown, so a database
// that stops answering (a hung host, a stopped postmaster) costs the caller its
// deadline, never a thread for ever. A connection that broke or timed out is dropped
// and opened again by the next statement outside a transaction.
struct PostgresRuleStore::Connection {
    using Clock = std::chrono::steady_clock;

    std::string url;
    StoreSettings settings;
    std::unique_ptr<PGconn, FinishConn> handle;
    Clock::time_point deadline = Clock::time_point::max();
    std::atomic<bool> interrupted{false};
    bool inTransaction = false;
    bool committing = false;

    PGconn* h() const { return handle.get(); }

    [[noreturn]] void fail(std::string_view what, const PGresult* r = nullptr) {
        const char* detail = r ? PQresultErrorMessage(r) : (h() ? PQerrorMessage(h()) : "");
        std::string text =
            "Erro no banco de dados PostgreSQL (" + std::string(what) + "): " + trimmed(detail);
        StoreFailure kind = failureOf(r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr);
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
    void drop() {
        if (handle) {
            if (PQtransactionStatus(h()) == PQTRANS_ACTIVE) {
                cancelInBackground(h());
            }
            PQsetnonblocking(h(), 1);  // the goodbye message must not block either
            handle.reset();
        }
        inTransaction = false;
    }

    [[noreturn]] void abandon(StoreFailure kind, std::string_view what) {
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
    void waitFor(short events, std::string_view what, Clock::time_point limit,
                 StoreFailure onLimit = StoreFailure::Timeout) {
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

    void open() {
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
    void ensureOpen() {
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
    template <class Put>
    void queue(Put put, std::string_view what) {
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
    void flushOut(std::string_view what) {
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
    Result collect(std::string_view what) {
        Result last;
        for (;;) {
            while (PQisBusy(h())) {
                waitFor(POLLIN, what, deadline);
                if (!PQconsumeInput(h())) {
                    fail(what);
                }
            }
            Result r(PQgetResult(h()));
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

    Result exec(std::string_view sql, const std::vector<Param>& params = {}) {
        ensureOpen();
        std::vector<const char*> values;
        values.reserve(params.size());
        for (const Param& p : params) {
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

    // Rolls back unless committed. A transaction left with a command under way (a COPY
    // cut short) or on a connection in doubt is ended by dropping the connection, which
    // the server rolls back. Begun inside another one (a store inside the write
    // transaction that checked it), it is part of that one, which commits or rolls back.
    class Transaction {
    public:
        enum class Access { Write, Read };
        /// begin: the statement that opens it, with its isolation and access mode.
        explicit Transaction(Connection& c, std::string_view begin = "BEGIN",
                             Access access = Access::Write)
            : c_(c), joined_(c.inTransaction), access_(access) {
            if (joined_) {
                return;
            }
            c_.exec(begin);
            c_.inTransaction = true;
        }
        ~Transaction() {
            if (done_ || joined_) {
                return;
            }
            c_.inTransaction = false;
            c_.committing = false;
            if (!c_.handle || PQtransactionStatus(c_.h()) == PQTRANS_ACTIVE ||
                c_.interrupted.load()) {
                c_.drop();
                return;
            }
            // A short bound of its own: the call's deadline may be what ended it.
            const auto saved = c_.deadline;
            c_.deadline = std::min(saved, Clock::now() + std::chrono::seconds(5));
            try {
                c_.exec("ROLLBACK");
            } catch (const std::exception&) {
                c_.drop();
            }
            c_.deadline = saved;
        }
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        void commit() {
            if (joined_) {
                return;
            }
            // Only a write's outcome can be in doubt when its COMMIT goes unanswered.
            c_.committing = access_ == Access::Write;
            c_.exec("COMMIT");
            c_.committing = false;
            c_.inTransaction = false;
            done_ = true;
        }

    private:
        Connection& c_;
        bool joined_;
        Access access_;
        bool done_ = false;
    };
};

// Lines sent through COPY ... FROM STDIN as they are made, in chunks, so that a large
// set of rows never sits in memory as text. A COPY cut short by a failure is left to the
// transaction, which drops the connection.
class PostgresRuleStore::CopyStream {
public:
    CopyStream(Connection& c, std::string_view copySql) : c_(c), what_(copySql.substr(0, 40)) {
        if (!PQsendQuery(c_.h(), std::string(copySql).c_str())) {
            c_.fail(what_);
        }
        c_.flushOut(what_);
        Result start = c_.collect(what_);
        if (PQresultStatus(start.get()) != PGRES_COPY_IN) {
            c_.fail(what_, start.get());
        }
        chunk_.reserve(kChunk + 4096);
    }
    CopyStream(const CopyStream&) = delete;
    CopyStream& operator=(const CopyStream&) = delete;
    /// The text the current line is appended to.
    std::string& text() { return chunk_; }
    /// Called after each complete line.
    void lineDone() {
        if (chunk_.size() >= kChunk) {
            flush();
        }
    }
    void finish() {
        flush();
        c_.queue([&] { return PQputCopyEnd(c_.h(), nullptr); }, "COPY");
        c_.flushOut("COPY");
        c_.collect("COPY");
    }

private:
    static constexpr std::size_t kChunk = 256 * 1024;
    void flush() {
        if (chunk_.empty()) {
            return;
        }
        c_.queue(
            [&] { return PQputCopyData(c_.h(), chunk_.data(), static_cast<int>(chunk_.size())); },
            "COPY");
        c_.flushOut("COPY");
        chunk_.clear();
    }
    Connection& c_;
    std::string what_;
    std::string chunk_;
};


PostgresRuleStore::PostgresRuleStore(const std::string& url, const StoreSettings& settings)
    : conn_(std::make_unique<Connection>()) {
    conn_->url = url;
    conn_->settings = settings;
    conn_->open();
}

PostgresRuleStore::PostgresRuleStore(const std::string& url)
    : PostgresRuleStore(url, StoreSettings{}) {}

void PostgresRuleStore::setDeadline(std::chrono::steady_clock::time_point deadline) {
    conn_->deadline = deadline;
}

namespace {

// A result row of libpq: every value is text already.
class PostgresRow : public SqlRow {
public:
    PostgresRow(const PGresult* result, int row) : result_(result), row_(row) {}
    bool isNull(int c) const override { return PQgetisnull(result_, row_, c) != 0; }
    std::string_view text(int c) const override {
        return {PQgetvalue(result_, row_, c), static_cast<std::size_t>(PQgetlength(result_, row_, c))};
    }
    void next() { ++row_; }

private:
    const PGresult* result_;
    int row_;
};

void eachRow(const PGresult* result, const std::function<void(const SqlRow&)>& fn) {
    PostgresRow row(result, 0);
    for (int i = 0; i < PQntuples(result); ++i, row.next()) {
        fn(row);
    }
}

}  // namespace

void PostgresRuleStore::query(std::string_view sql, const std::vector<SqlParam>& params,
                              const std::function<void(const SqlRow&)>& fn, SqlRows rows) {
    conn_->ensureOpen();
    const std::string text = renderSql(sql, SqlDialect::Postgres);
    if (rows == SqlRows::Few) {
        Result r = conn_->exec(text, params);
        eachRow(r.get(), fn);
        return;
    }
    // A cursor hands the rows over a batch at a time; one plain SELECT would have libpq
    // hold every row of the result before the first could be read.
    // A cursor lives in a transaction: the call's own, or one of the read's.
    Connection::Transaction tx(*conn_, "BEGIN TRANSACTION READ ONLY",
                               Connection::Transaction::Access::Read);
    conn_->exec("DECLARE VND_LEITURA NO SCROLL CURSOR FOR " + text, params);
    for (;;) {
        Result r = conn_->exec("FETCH 10000 FROM VND_LEITURA");
        eachRow(r.get(), fn);
        if (PQntuples(r.get()) < 10000) {
            break;
        }
    }
    conn_->exec("CLOSE VND_LEITURA");
    tx.commit();
}

long PostgresRuleStore::execute(std::string_view sql, const std::vector<SqlParam>& params) {
    conn_->ensureOpen();
    Result r = conn_->exec(renderSql(sql, SqlDialect::Postgres), params);
    return std::atol(PQcmdTuples(r.get()));
}

void PostgresRuleStore::readTogether(const std::function<void()>& body) {
    // Every statement of the transaction reads the snapshot its first one took; read
    // only, it never waits for a writer nor makes one wait.
    Connection::Transaction tx(*conn_, "BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY",
                               Connection::Transaction::Access::Read);
    body();
    tx.commit();
}

void PostgresRuleStore::writeTransaction(const std::function<void()>& body, WriteScope scope) {
    Connection::Transaction tx(*conn_);
    // A lock of this database schema's own, taken by every write transaction: shared by
    // those that read the reference tables and write rules, so that what they checked is
    // still there when they commit; exclusive for an upgrade or a replacement of the
    // reference data, which then waits for them and keeps them waiting. Servers starting
    // together would otherwise each find the old schema version and create the same
    // tables, and all but the first would fail on the catalogue's unique keys.
    conn_->exec(scope == WriteScope::Exclusive
                    ? "SELECT pg_advisory_xact_lock(hashtext('vnd-server schema ' || current_schema()))"
                    : "SELECT pg_advisory_xact_lock_shared(hashtext('vnd-server schema ' || "
                      "current_schema()))");
    body();
    tx.commit();
}

void PostgresRuleStore::interrupt() {
    conn_->interrupted = true;
}

PostgresRuleStore::~PostgresRuleStore() = default;

bool PostgresRuleStore::hasTable(std::string_view name) {
    Result r = conn_->exec("SELECT to_regclass($1::text) IS NOT NULL", {std::string(name)});
    return std::string_view(PQgetvalue(r.get(), 0, 0)) == "t";
}

void PostgresRuleStore::insertRows(std::string_view table, std::string_view columns,
                                   const std::function<bool(std::vector<SqlCell>&)>& next) {
    // Streamed as the rows come, never all as text at once.
    CopyStream out(*conn_, "COPY " + std::string(table) + " (" + std::string(columns) +
                               ") FROM STDIN");
    std::vector<SqlCell> cells;
    while (next(cells)) {
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (i > 0) {
                out.text() += '\t';
            }
            if (const auto* text = std::get_if<std::string_view>(&cells[i])) {
                appendCopyField(out.text(), *text);
            } else {
                out.text() += numberText(std::get<double>(cells[i]));
            }
        }
        out.text() += '\n';
        out.lineDone();
    }
    out.finish();
}

namespace {

// The COPY line of a rule row is its product and day between two texts that all rows of
// one rule share.
struct RuleLine {
    std::string head;  ///< branch, table and period start, each followed by a tab
    std::string tail;  ///< a tab, then consumer type through display, then the line break

    explicit RuleLine(const RuleRow& r) {
        for (const std::string& field : {r.branch, r.table, r.periodStart.iso()}) {
            appendCopyField(head, field);
            head += '\t';
        }
        for (const std::string& field :
             {r.consumerType, r.timeStart, r.timeEnd, r.validFrom.iso(), r.validTo.iso(),
              std::to_string(columnValue(r.adjustment)),
              std::to_string(columnValue(r.amountKind)), numberText(r.amount),
              std::to_string(columnValue(r.display))}) {
            tail += '\t';
            appendCopyField(tail, field);
        }
        tail += '\n';
    }
    void append(std::string& out, const RuleRow& r) const {
        out += head;
        appendCopyField(out, r.product);
        out += '\t';
        appendCopyField(out, std::string_view(&r.day, 1));
        out += tail;
    }
};

}  // namespace

UpsertCounts PostgresRuleStore::upsertRules(const std::vector<RuleRow>& rows) {
    PriceTables tables;
    for (const RuleRow& r : rows) {
        tables.emplace(r.branch, r.table);
    }
    return upsertLines(tables, [&](CopyStream& out) {
        for (const RuleRow& r : rows) {
            RuleLine(r).append(out.text(), r);
            out.lineDone();
        }
    });
}

UpsertCounts PostgresRuleStore::upsertRule(const RuleRows& rows) {
    const RuleLine line(rows.shared);
    return upsertLines({{rows.shared.branch, rows.shared.table}}, [&](CopyStream& out) {
        rows.forEach([&](const RuleRow& r) {
            line.append(out.text(), r);
            out.lineDone();
        });
    });
}

void PostgresRuleStore::lockPriceTable(const std::string& branch, const std::string& table) {
    // Under READ COMMITTED the copy into the history and the change after it are two
    // statements: a change of the same rows by another server process between them, or
    // a first insert of the same key beside ours, would leave a history whose rows do
    // not follow one another. Row locks cannot cover rows that do not exist yet; this
    // lock, of this schema's price table, can, and the transaction's end releases it.
    conn_->exec(
        "SELECT pg_advisory_xact_lock(hashtext('vnd-server PRECDIF ' || current_schema()),"
        " hashtext($1::varchar || '/' || $2::varchar))",
        {branch, table});
}

UpsertCounts PostgresRuleStore::upsertLines(const PriceTables& tables,
                                            const std::function<void(CopyStream&)>& send) {
    const std::string now = currentTimestamp();
    Connection::Transaction tx(*conn_);
    // The staging table lives as long as the session; ON COMMIT DELETE ROWS empties it.
    conn_->exec(
        "CREATE TEMP TABLE IF NOT EXISTS PRECDIF_IN (CDFILIAL VARCHAR(4), CDTABEPREC VARCHAR(3),"
        " DTINIVGPREC DATE, CDPRODUTO VARCHAR(10), IDDIA CHAR(1), CDTIPOCONS VARCHAR(2),"
        " HRINI CHAR(4), HRFIN CHAR(4), DTINIVALID DATE, DTFINVALID DATE,"
        " IDDESCACRE SMALLINT, IDVALPERC SMALLINT, VRPRECDIF DOUBLE PRECISION,"
        " IDVISUALIZA SMALLINT) ON COMMIT DELETE ROWS");
    conn_->exec("TRUNCATE PRECDIF_IN");
    {
        CopyStream out(*conn_, "COPY PRECDIF_IN (" +
                                               std::string(schema::kRuleColumns) +
                                               ") FROM STDIN");
        send(out);
        out.finish();
    }
    // The rows are in (a long COPY holds no lock); from here to the commit no other change
    // of these price tables comes between.
    for (const auto& [branch, table] : tables) {
        lockPriceTable(branch, table);
    }
    // The rows about to be replaced go to the history first, with the values replacing
    // them; the same transaction, so both or neither. Its time is taken under the lock:
    // the history's order is the order the changes took effect in.
    conn_->exec(schema::historyInsert({.before = "P",
                                       .after = "I",
                                       .when = "$1::timestamp",
                                       .user = "$2::varchar",
                                       .station = "$3::varchar"}) +
                    " FROM PRECDIF_IN I JOIN PRECDIF P ON P.CDFILIAL = I.CDFILIAL"
                    " AND P.CDTABEPREC = I.CDTABEPREC AND P.DTINIVGPREC = I.DTINIVGPREC"
                    " AND P.CDPRODUTO = I.CDPRODUTO AND P.IDDIA = I.IDDIA"
                    " AND P.CDTIPOCONS = I.CDTIPOCONS AND P.HRINI = I.HRINI AND P.HRFIN = I.HRFIN"
                    " AND P.DTINIVALID = I.DTINIVALID AND P.DTFINVALID = I.DTFINVALID",
                {operationTimestamp(), caller().user, caller().station});
    // xmax is 0 exactly for rows this statement inserted; updated rows carry our lock.
    Result r = conn_->exec(
        "WITH UP AS (INSERT INTO PRECDIF (" + std::string(schema::kRuleColumns) +
            ", DTULTATU) SELECT " + std::string(schema::kRuleColumns) +
            ", $1::timestamp FROM PRECDIF_IN ON CONFLICT (" + std::string(schema::kRuleKey) +
            ") DO UPDATE SET IDDESCACRE = EXCLUDED.IDDESCACRE, IDVALPERC = EXCLUDED.IDVALPERC,"
            " VRPRECDIF = EXCLUDED.VRPRECDIF, IDVISUALIZA = EXCLUDED.IDVISUALIZA,"
            " DTULTATU = EXCLUDED.DTULTATU RETURNING (xmax = 0) AS INSERTED)"
            " SELECT COUNT(*), COUNT(*) FILTER (WHERE NOT INSERTED) FROM UP",
        {now});
    UpsertCounts counts;
    counts.stored = std::atol(PQgetvalue(r.get(), 0, 0));
    counts.replaced = std::atol(PQgetvalue(r.get(), 0, 1));
    tx.commit();
    return counts;
}

}  // namespace server
