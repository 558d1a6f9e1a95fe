#include "PostgresRuleStore.h"

#include <charconv>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <utility>

#include <libpq-fe.h>

#include "DatabaseUrl.h"
#include "Schema.h"
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

wire::Date isoDate(const char* text) {
    auto date = wire::Date::fromIso(text);
    if (!date) {
        throw std::runtime_error(std::string("Data inválida no banco de dados: ") + text);
    }
    return *date;
}

}  // namespace

struct PostgresRuleStore::Connection {
    std::unique_ptr<PGconn, FinishConn> handle;

    [[noreturn]] void fail(std::string_view what, const PGresult* r = nullptr) const {
        const char* detail = r ? PQresultErrorMessage(r) : PQerrorMessage(handle.get());
        std::string text =
            "Erro no banco de dados PostgreSQL (" + std::string(what) + "): " + trimmed(detail);
        if (isTransientState(r ? PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr)) {
            throw TransientStoreError(text);
        }
        throw std::runtime_error(text);
    }

    // serialization_failure, deadlock_detected and lock_not_available: what another
    // writer causes, whatever language the server writes its messages in.
    static bool isTransientState(const char* state) {
        if (state == nullptr) {
            return false;
        }
        const std::string_view code(state);
        return code == "40001" || code == "40P01" || code == "55P03";
    }

    // A connection that dropped (the database restarted) is reset once before a
    // statement, outside any transaction.
    void ensureOpen() {
        if (PQstatus(handle.get()) != CONNECTION_OK) {
            PQreset(handle.get());
            if (PQstatus(handle.get()) != CONNECTION_OK) {
                fail("reconexão");
            }
        }
    }

    Result exec(std::string_view sql, const std::vector<Param>& params = {}) {
        std::vector<const char*> values;
        values.reserve(params.size());
        for (const Param& p : params) {
            values.push_back(p ? p->c_str() : nullptr);
        }
        const std::string text(sql);
        Result r(PQexecParams(handle.get(), text.c_str(), static_cast<int>(values.size()),
                              nullptr, values.data(), nullptr, nullptr, 0));
        const auto status = r ? PQresultStatus(r.get()) : PGRES_FATAL_ERROR;
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            fail(sql.substr(0, 40), r.get());
        }
        return r;
    }

    // Sends tab-separated lines through COPY ... FROM STDIN.
    void copy(std::string_view copySql, const std::vector<std::vector<std::string>>& rows);

    // Rolls back unless committed.
    class Transaction {
    public:
        explicit Transaction(Connection& c) : c_(c) {
            c_.ensureOpen();
            c_.exec("BEGIN");
        }
        ~Transaction() {
            if (!done_) {
                Result r(PQexec(c_.handle.get(), "ROLLBACK"));
            }
        }
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        void commit() {
            c_.exec("COMMIT");
            done_ = true;
        }

    private:
        Connection& c_;
        bool done_ = false;
    };
};

// Lines sent through COPY ... FROM STDIN as they are made, in chunks, so that a large
// set of rows never sits in memory as text.
class PostgresRuleStore::CopyStream {
public:
    CopyStream(Connection& c, std::string_view copySql) : c_(c) {
        Result start(PQexec(c_.handle.get(), std::string(copySql).c_str()));
        if (!start || PQresultStatus(start.get()) != PGRES_COPY_IN) {
            c_.fail(copySql.substr(0, 40), start.get());
        }
        chunk_.reserve(kChunk + 4096);
    }
    // A COPY left half-way (a failure while lines were made) is ended as failed, so
    // that the connection can roll the transaction back.
    ~CopyStream() {
        if (!finished_ && PQputCopyEnd(c_.handle.get(), "interrompido") == 1) {
            while (Result extra{PQgetResult(c_.handle.get())}) {
            }
        }
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
        finished_ = true;
        if (PQputCopyEnd(c_.handle.get(), nullptr) != 1) {
            c_.fail("COPY");
        }
        Result end(PQgetResult(c_.handle.get()));
        const bool ok = end && PQresultStatus(end.get()) == PGRES_COMMAND_OK;
        // Drain so the connection is ready for the next command whatever happened.
        while (Result extra{PQgetResult(c_.handle.get())}) {
        }
        if (!ok) {
            c_.fail("COPY", end.get());
        }
    }

private:
    static constexpr std::size_t kChunk = 256 * 1024;
    void flush() {
        if (!chunk_.empty() &&
            PQputCopyData(c_.handle.get(), chunk_.data(), static_cast<int>(chunk_.size())) !=
                1) {
            c_.fail("COPY");
        }
        chunk_.clear();
    }
    Connection& c_;
    std::string chunk_;
    bool finished_ = false;
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


PostgresRuleStore::PostgresRuleStore(const std::string& url)
    : conn_(std::make_unique<Connection>()) {
    conn_->handle.reset(PQconnectdb(url.c_str()));
    if (!conn_->handle || PQstatus(conn_->handle.get()) != CONNECTION_OK) {
        // libpq's message may repeat the URI, or the password alone, when it cannot parse it.
        throw std::runtime_error(maskPasswords(
            "Não foi possível conectar ao banco de dados PostgreSQL: " +
                (conn_->handle ? trimmed(PQerrorMessage(conn_->handle.get())) : "sem memória"),
            url));
    }
    // Notices ("relation already exists, skipping") are not errors; keep stderr quiet.
    PQsetNoticeProcessor(conn_->handle.get(), [](void*, const char*) {}, nullptr);
    conn_->exec("SET client_encoding TO 'UTF8'");
    conn_->exec("SET DateStyle TO ISO");
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
    const int version = schemaVersion();
    if (version > kSchemaVersion) {
        throw std::runtime_error("O banco de dados tem o esquema versão " +
                                 std::to_string(version) + ", mais novo que o deste servidor (" +
                                 std::to_string(kSchemaVersion) + ").");
    }
    for (std::string_view sql : schema::version1()) {
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
    auto n = [&](int c) { return std::atol(PQgetvalue(r.get(), 0, c)); };
    return {n(0), n(1), n(2), n(3), n(4), n(5), n(6)};
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
    return upsertLines([&](CopyStream& out) {
        for (const RuleRow& r : rows) {
            RuleLine(r).append(out.text(), r);
            out.lineDone();
        }
    });
}

UpsertCounts PostgresRuleStore::upsertRule(const RuleRows& rows) {
    const RuleLine line(rows.shared);
    return upsertLines([&](CopyStream& out) {
        rows.forEach([&](const RuleRow& r) {
            line.append(out.text(), r);
            out.lineDone();
        });
    });
}

UpsertCounts PostgresRuleStore::upsertLines(
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

void PostgresRuleStore::forEachRule(const std::optional<std::string>& branch,
                                    const std::optional<std::string>& table,
                                    const std::function<void(const RuleRow&)>& fn) {
    // A cursor hands the rows over a batch at a time; one plain SELECT would have libpq
    // hold every row of the result before the first could be read.
    static constexpr int kBatch = 10000;
    conn_->ensureOpen();
    ReadOnlyTransaction tx([this](std::string_view sql) { conn_->exec(sql); });
    conn_->exec(
        "DECLARE PRECDIF_READ NO SCROLL CURSOR FOR"
        " SELECT CDFILIAL, CDTABEPREC, to_char(DTINIVGPREC, 'YYYY-MM-DD'), CDPRODUTO, IDDIA,"
        " CDTIPOCONS, HRINI, HRFIN, to_char(DTINIVALID, 'YYYY-MM-DD'),"
        " to_char(DTFINVALID, 'YYYY-MM-DD'), IDDESCACRE, IDVALPERC, VRPRECDIF, IDVISUALIZA,"
        " to_char(DTULTATU, 'YYYY-MM-DD HH24:MI:SS') FROM PRECDIF"
        " WHERE ($1::varchar IS NULL OR CDFILIAL = $1::varchar)"
        " AND ($2::varchar IS NULL OR CDTABEPREC = $2::varchar) ORDER BY " +
            std::string(schema::kRuleKey),
        {branch, table});
    const std::string fetch = "FETCH " + std::to_string(kBatch) + " FROM PRECDIF_READ";
    RuleRow row;
    for (;;) {
        Result r = conn_->exec(fetch);
        const int count = PQntuples(r.get());
        for (int i = 0; i < count; ++i) {
            auto v = [&](int c) { return PQgetvalue(r.get(), i, c); };
            row.branch = v(0);
            row.table = v(1);
            row.periodStart = isoDate(v(2));
            row.product = v(3);
            row.day = v(4)[0];
            row.consumerType = v(5);
            row.timeStart = v(6);
            row.timeEnd = v(7);
            row.validFrom = isoDate(v(8));
            row.validTo = isoDate(v(9));
            row.surcharge = std::atoi(v(10));
            row.percentage = std::atoi(v(11));
            row.amount = std::strtod(v(12), nullptr);
            row.display = std::atoi(v(13));
            row.updatedAt = v(14);
            fn(static_cast<const RuleRow&>(row));
        }
        if (count < kBatch) {
            break;
        }
    }
    conn_->exec("CLOSE PRECDIF_READ");
    tx.end();
}

long PostgresRuleStore::countRules() {
    conn_->ensureOpen();
    Result r = conn_->exec("SELECT COUNT(*) FROM PRECDIF");
    return std::atol(PQgetvalue(r.get(), 0, 0));
}

}  // namespace server
