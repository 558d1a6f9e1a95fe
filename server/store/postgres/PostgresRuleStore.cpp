#include "server/store/postgres/PostgresRuleStore.h"

#include <poll.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <utility>

#include <libpq-fe.h>

#include "server/store/DatabaseUrl.h"
#include "server/store/Schema.h"
#include "protocol/ValueCodec.h"

namespace server {

namespace {

using Param = std::optional<std::string>;

struct ClearResult {
    void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ClearResult>;

// The (CDPRODUTO, CDARVPROD) rows of a result.
std::vector<ProductRef> productRefs(const Result& r) {
    std::vector<ProductRef> out;
    out.reserve(static_cast<std::size_t>(PQntuples(r.get())));
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        out.push_back({PQgetvalue(r.get(), i, 0), PQgetvalue(r.get(), i, 1)});
    }
    return out;
}

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

std::string numberText(double value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, end);
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
    // the server rolls back whatever transaction it had open.
    void drop() {
        if (handle) {
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

    // Sends tab-separated lines through COPY ... FROM STDIN.
    void copy(std::string_view copySql, const std::vector<std::vector<std::string>>& rows);

    // Rolls back unless committed. A transaction left with a command under way (a COPY
    // cut short) or on a connection in doubt is ended by dropping the connection, which
    // the server rolls back.
    class Transaction {
    public:
        explicit Transaction(Connection& c) : c_(c) {
            c_.exec("BEGIN");
            c_.inTransaction = true;
        }
        ~Transaction() {
            if (done_) {
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
            c_.committing = true;
            c_.exec("COMMIT");
            c_.committing = false;
            c_.inTransaction = false;
            done_ = true;
        }

    private:
        Connection& c_;
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


// Sends tab-separated lines through COPY ... FROM STDIN.
void PostgresRuleStore::Connection::copy(std::string_view copySql, const std::vector<std::vector<std::string>>& rows) {
    CopyStream out(*this, copySql);
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i > 0) {
                out.text() += '\t';
            }
            appendCopyField(out.text(), row[i]);
        }
        out.text() += '\n';
        out.lineDone();
    }
    out.finish();
}


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

// A read-only transaction around a cursor; rolled back unless ended, so that a failure
// (of the database or of the caller's function) leaves the connection ready for the
// next statement.
class ReadOnlyTransaction {
public:
    explicit ReadOnlyTransaction(std::function<void(std::string_view)> exec)
        : exec_(std::move(exec)) {
        exec_("BEGIN TRANSACTION READ ONLY");
    }
    ~ReadOnlyTransaction() {
        if (!done_) {
            try {
                exec_("ROLLBACK");
            } catch (const std::exception&) {
                // A connection that broke has no transaction left to end.
            }
        }
    }
    ReadOnlyTransaction(const ReadOnlyTransaction&) = delete;
    ReadOnlyTransaction& operator=(const ReadOnlyTransaction&) = delete;
    void end() {
        done_ = true;
        exec_("COMMIT");
    }

private:
    std::function<void(std::string_view)> exec_;
    bool done_ = false;
};

}  // namespace

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
    std::optional<ReadOnlyTransaction> tx;
    if (!conn_->inTransaction) {
        tx.emplace([this](std::string_view statement) { conn_->exec(statement); });
    }
    conn_->exec("DECLARE VND_LEITURA NO SCROLL CURSOR FOR " + text, params);
    for (;;) {
        Result r = conn_->exec("FETCH 10000 FROM VND_LEITURA");
        eachRow(r.get(), fn);
        if (PQntuples(r.get()) < 10000) {
            break;
        }
    }
    conn_->exec("CLOSE VND_LEITURA");
    if (tx) {
        tx->end();
    }
}

long PostgresRuleStore::execute(std::string_view sql, const std::vector<SqlParam>& params) {
    conn_->ensureOpen();
    Result r = conn_->exec(renderSql(sql, SqlDialect::Postgres), params);
    return std::atol(PQcmdTuples(r.get()));
}

void PostgresRuleStore::writeTransaction(const std::function<void()>& body) {
    Connection::Transaction tx(*conn_);
    body();
    tx.commit();
}

void PostgresRuleStore::interrupt() {
    conn_->interrupted = true;
}

PostgresRuleStore::~PostgresRuleStore() = default;

int PostgresRuleStore::schemaVersion() {
    conn_->ensureOpen();
    Result exists = conn_->exec("SELECT to_regclass('schemaversion') IS NOT NULL");
    if (std::string(PQgetvalue(exists.get(), 0, 0)) != "t") {
        return 0;
    }
    Result r = conn_->exec("SELECT COALESCE(MAX(VERSION), 0) FROM SCHEMAVERSION");
    return std::atoi(PQgetvalue(r.get(), 0, 0));
}

void PostgresRuleStore::createSchema() {
    Connection::Transaction tx(*conn_);
    // Servers starting together would each find the old version and create the same
    // tables, and all but the first would fail on the catalogue's unique keys. A lock of
    // this database schema's own lets one upgrade while the others wait, then find the
    // version it wrote.
    conn_->exec("SELECT pg_advisory_xact_lock(hashtext('vnd-server schema ' || current_schema()))");
    const int version = schemaVersion();
    if (version > kSchemaVersion) {
        throw std::runtime_error(schema::newerVersionMessage(version));
    }
    if (version == kSchemaVersion) {
        return;
    }
    for (std::string_view sql : schema::upgradeFrom(version)) {
        conn_->exec(sql);
    }
    conn_->exec("DELETE FROM SCHEMAVERSION");
    conn_->exec("INSERT INTO SCHEMAVERSION (VERSION) VALUES ($1::integer)",
                {std::to_string(kSchemaVersion)});
    tx.commit();
}

StoredCounts PostgresRuleStore::storedCounts() {
    conn_->ensureOpen();
    Result r = conn_->exec(schema::kCountEveryTable);
    std::array<long, StoredCounts::kTables> n{};
    for (std::size_t i = 0; i < n.size(); ++i) {
        n[i] = std::atol(PQgetvalue(r.get(), 0, static_cast<int>(i)));
    }
    return StoredCounts::fromColumns(n);
}

long PostgresRuleStore::replaceReferenceData(const demo::DataSet& set) {
    Connection::Transaction tx(*conn_);
    for (std::string_view table : schema::kReferenceTables) {
        conn_->exec("DELETE FROM " + std::string(table));
    }
    std::vector<std::vector<std::string>> rows;
    for (const demo::Branch& b : set.branches) {
        rows.push_back({b.code, b.name, b.segmentCode, b.segment, b.differentiatedPrices,
                        b.posGroupCode, b.posGroup, b.usesProductModule});
    }
    conn_->copy("COPY FILIAL FROM STDIN", rows);
    rows.clear();
    for (const demo::PriceTable& t : set.priceTables) {
        rows.push_back({t.branch, t.code, t.name});
    }
    conn_->copy("COPY TABEPREC FROM STDIN", rows);
    rows.clear();
    for (const demo::ValidityPeriod& p : set.periods) {
        rows.push_back({p.branch, p.table, p.start, p.end});
    }
    conn_->copy("COPY TABEVEND FROM STDIN", rows);
    rows.clear();
    for (const demo::Product& p : set.products) {
        rows.push_back({p.code, p.treeCode, p.name});
    }
    conn_->copy("COPY PRODUTO FROM STDIN", rows);
    rows.clear();
    for (const demo::BranchLink& l : set.assortment) {
        rows.push_back({l.branch, l.code});
    }
    conn_->copy("COPY PRODFILI FROM STDIN", rows);
    rows.clear();
    for (const demo::ConsumerType& c : set.consumerTypes) {
        rows.push_back({c.code, c.name});
    }
    conn_->copy("COPY TIPOCONS FROM STDIN", rows);
    rows.clear();
    for (const demo::Holiday& h : set.holidays) {
        rows.push_back({h.branch, h.date, h.name});
    }
    conn_->copy("COPY FERIADO (" + std::string(schema::kHolidayColumns) + ") FROM STDIN", rows);
    {
        // Up to a million rows: streamed as they are written, never all as text at once.
        CopyStream out(*conn_, "COPY ITEMPREC (" + std::string(schema::kBasePriceColumns) +
                                   ") FROM STDIN");
        for (const demo::BasePrice& p : set.basePrices) {
            for (std::string_view field : {std::string_view(p.branch), std::string_view(p.table),
                                           std::string_view(p.periodStart),
                                           std::string_view(p.product)}) {
                appendCopyField(out.text(), field);
                out.text() += '\t';
            }
            out.text() += numberText(p.price);
            out.text() += '\n';
            out.lineDone();
        }
        out.finish();
    }
    Result removed = conn_->exec(schema::kDeleteUnbackedRules);
    tx.commit();
    return std::atol(PQcmdTuples(removed.get()));
}

std::vector<demo::Branch> PostgresRuleStore::branches(const std::optional<std::string>& code) {
    conn_->ensureOpen();
    Result r = conn_->exec(
        "SELECT CDFILIAL, NMFILIAL, CDSEGMER, SEGMENTO, IDPRECDIFCOM, CDGRPRODPDV, GRUPOPROD,"
        " IDUTMODPRODFIL FROM FILIAL WHERE $1::varchar IS NULL OR CDFILIAL = $1::varchar"
        " ORDER BY CDFILIAL",
        {code});
    std::vector<demo::Branch> out;
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        auto v = [&](int c) { return std::string(PQgetvalue(r.get(), i, c)); };
        out.push_back({v(0), v(1), v(2), v(3), v(4), v(5), v(6), v(7)});
    }
    return out;
}

std::vector<demo::PriceTable> PostgresRuleStore::priceTables(const std::string& branch) {
    conn_->ensureOpen();
    Result r = conn_->exec(
        "SELECT CDFILIAL, CDTABEPREC, NMTABEPREC FROM TABEPREC WHERE CDFILIAL = $1::varchar"
        " ORDER BY CDTABEPREC",
        {branch});
    std::vector<demo::PriceTable> out;
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        out.push_back({PQgetvalue(r.get(), i, 0), PQgetvalue(r.get(), i, 1),
                       PQgetvalue(r.get(), i, 2)});
    }
    return out;
}

std::vector<demo::ValidityPeriod> PostgresRuleStore::periods(
    const std::string& branch, const std::string& table, const std::optional<wire::Date>& start) {
    conn_->ensureOpen();
    Result r = conn_->exec(
        "SELECT CDFILIAL, CDTABEPREC, to_char(DTINIVGPREC, 'YYYY-MM-DD'),"
        " to_char(DTFINVGPREC, 'YYYY-MM-DD') FROM TABEVEND WHERE CDFILIAL = $1::varchar"
        " AND CDTABEPREC = $2::varchar AND ($3::date IS NULL OR DTINIVGPREC = $3::date)"
        " ORDER BY DTINIVGPREC",
        {branch, table, start ? Param(start->iso()) : std::nullopt});
    std::vector<demo::ValidityPeriod> out;
    for (int i = 0; i < PQntuples(r.get()); ++i) {
        out.push_back({PQgetvalue(r.get(), i, 0), PQgetvalue(r.get(), i, 1),
                       PQgetvalue(r.get(), i, 2), PQgetvalue(r.get(), i, 3)});
    }
    return out;
}

bool PostgresRuleStore::consumerTypeExists(const std::string& code) {
    conn_->ensureOpen();
    Result r = conn_->exec("SELECT 1 FROM TIPOCONS WHERE CDTIPOCONS = $1::varchar", {code});
    return PQntuples(r.get()) > 0;
}

std::vector<ProductRef> PostgresRuleStore::branchProducts(const std::string& branch) {
    conn_->ensureOpen();
    return productRefs(conn_->exec(
        "SELECT P.CDPRODUTO, P.CDARVPROD FROM PRODFILI F JOIN PRODUTO P"
        " ON P.CDPRODUTO = F.CDPRODUTO WHERE F.CDFILIAL = $1::varchar ORDER BY P.CDPRODUTO",
        {branch}));
}

std::vector<ProductRef> PostgresRuleStore::branchProductsAmong(
    const std::string& branch, const std::vector<std::string>& codes) {
    conn_->ensureOpen();
    // The list goes in as one JSON array.
    return productRefs(
        conn_->exec("SELECT P.CDPRODUTO, P.CDARVPROD FROM PRODFILI F JOIN PRODUTO P"
                    " ON P.CDPRODUTO = F.CDPRODUTO WHERE F.CDFILIAL = $1::varchar"
                    " AND F.CDPRODUTO IN (SELECT json_array_elements_text($2::json))"
                    " ORDER BY P.CDPRODUTO",
                    {branch, wire::dumpJson(nlohmann::json(codes))}));
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
              std::to_string(r.surcharge), std::to_string(r.percentage), numberText(r.amount),
              std::to_string(r.display)}) {
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
