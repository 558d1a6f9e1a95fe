#include "server/store/postgres/PostgresRuleStore.h"

#include <cstdlib>
#include <poll.h>
#include <string>
#include <variant>

#include "server/ops/NumberText.h"
#include "server/store/Schema.h"
#include "server/store/Timestamps.h"
#include "server/store/postgres/PostgresConnection.h"
#include "server/store/postgres/PostgresCopyStream.h"
#include "server/store/postgres/PostgresPrivileges.h"
#include "server/store/postgres/PostgresRow.h"
#include "server/store/postgres/PostgresTransaction.h"

namespace server {

PostgresRuleStore::PostgresRuleStore(const std::string& url, const StoreSettings& settings)
    : conn_(std::make_unique<PostgresConnection>(url, settings)) {
    conn_->open();
}

PostgresRuleStore::PostgresRuleStore(const std::string& url)
    : PostgresRuleStore(url, StoreSettings{}) {}

void PostgresRuleStore::setDeadline(std::chrono::steady_clock::time_point deadline) {
    conn_->deadline = deadline;
}

void PostgresRuleStore::query(std::string_view sql, const std::vector<SqlParam>& params,
                              const std::function<void(const SqlRow&)>& fn, SqlRows rows) {
    conn_->ensureOpen();
    const std::string text = renderSql(sql, SqlDialect::Postgres);
    if (rows == SqlRows::Few) {
        PostgresResult r = conn_->exec(text, params);
        PostgresRow::forEach(r.get(), fn);
        return;
    }
    // A cursor hands the rows over a batch at a time; one plain SELECT would have libpq
    // hold every row of the result before the first could be read.
    // A cursor lives in a transaction: the call's own, or one of the read's.
    PostgresTransaction tx(*conn_, "BEGIN TRANSACTION READ ONLY",
                           PostgresTransaction::Access::Read);
    conn_->exec("DECLARE VND_LEITURA NO SCROLL CURSOR FOR " + text, params);
    for (;;) {
        PostgresResult r = conn_->exec("FETCH 10000 FROM VND_LEITURA");
        PostgresRow::forEach(r.get(), fn);
        if (PQntuples(r.get()) < 10000) {
            break;
        }
    }
    conn_->exec("CLOSE VND_LEITURA");
    tx.commit();
}

long PostgresRuleStore::execute(std::string_view sql, const std::vector<SqlParam>& params) {
    conn_->ensureOpen();
    PostgresResult r = conn_->exec(renderSql(sql, SqlDialect::Postgres), params);
    return std::atol(PQcmdTuples(r.get()));
}

void PostgresRuleStore::readTogether(const std::function<void()>& body) {
    // Every statement of the transaction reads the snapshot its first one took; read
    // only, it never waits for a writer nor makes one wait.
    PostgresTransaction tx(*conn_, "BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY",
                           PostgresTransaction::Access::Read);
    body();
    tx.commit();
}

void PostgresRuleStore::runWriteTransaction(const std::function<void()>& body, WriteScope scope) {
    PostgresTransaction tx(*conn_);
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
    PostgresResult r = conn_->exec("SELECT to_regclass($1::text) IS NOT NULL", {std::string(name)});
    return std::string_view(PQgetvalue(r.get(), 0, 0)) == "t";
}

std::vector<std::string> PostgresRuleStore::missingPrivileges() {
    return missingPostgresPrivileges(*this);
}

void PostgresRuleStore::insertRows(std::string_view table, std::string_view columns,
                                   const std::function<bool(std::vector<SqlCell>&)>& next) {
    // Streamed as the rows come, never all as text at once.
    PostgresCopyStream out(*conn_, "COPY " + std::string(table) + " (" + std::string(columns) +
                                       ") FROM STDIN");
    std::vector<SqlCell> cells;
    while (next(cells)) {
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (i > 0) {
                out.text() += '\t';
            }
            if (const auto* text = std::get_if<std::string_view>(&cells[i])) {
                appendCopyField(out.text(), *text);
            } else if (std::holds_alternative<std::nullptr_t>(cells[i])) {
                out.text() += "\\N";
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
    return upsertLines(tables, [&](PostgresCopyStream& out) {
        for (const RuleRow& r : rows) {
            RuleLine(r).append(out.text(), r);
            out.lineDone();
        }
    });
}

UpsertCounts PostgresRuleStore::upsertRule(const RuleRows& rows) {
    const RuleLine line(rows.shared);
    return upsertLines({{rows.shared.branch, rows.shared.table}}, [&](PostgresCopyStream& out) {
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

void PostgresRuleStore::lockChangeLog() {
    // Held until the commit: the next transaction reads the highest number only once
    // this one's rows are visible. The notice goes out with the commit, not before.
    conn_->exec(
        "SELECT pg_advisory_xact_lock(hashtext('vnd-server ALTPRECO ' || current_schema())),"
        " pg_notify('vnd_altpreco', current_schema())");
}

bool PostgresRuleStore::awaitChangeNotice(std::chrono::milliseconds timeout) {
    if (listeningOn_ == nullptr || listeningOn_ != conn_->h() ||
        PQstatus(conn_->h()) != CONNECTION_OK) {
        conn_->ensureOpen();
        conn_->exec("LISTEN vnd_altpreco");
        listeningOn_ = conn_->h();
        return true;  // what was committed before the LISTEN was never announced to it
    }
    auto drain = [&] {
        bool any = false;
        while (PGnotify* notice = PQnotifies(conn_->h())) {
            any = true;
            PQfreemem(notice);
        }
        return any;
    };
    if (drain()) {
        return true;  // arrived with the answer of an earlier statement
    }
    pollfd socket{PQsocket(conn_->h()), POLLIN, 0};
    if (::poll(&socket, 1, static_cast<int>(timeout.count())) <= 0) {
        return false;
    }
    if (PQconsumeInput(conn_->h()) == 0) {
        conn_->drop();
        listeningOn_ = nullptr;
        throw StoreError(StoreFailure::Lost,
                         "A conexão com o banco de dados PostgreSQL caiu durante a espera por "
                         "alterações");
    }
    return drain();
}

UpsertCounts PostgresRuleStore::upsertLines(const PriceTables& tables,
                                            const std::function<void(PostgresCopyStream&)>& send) {
    const std::string now = currentTimestamp();
    PostgresTransaction tx(*conn_);
    // The staging table lives as long as the session; ON COMMIT DELETE ROWS empties it.
    conn_->exec(
        "CREATE TEMP TABLE IF NOT EXISTS PRECDIF_IN (CDFILIAL VARCHAR(4), CDTABEPREC VARCHAR(3),"
        " DTINIVGPREC DATE, CDPRODUTO VARCHAR(10), IDDIA CHAR(1), CDTIPOCONS VARCHAR(2),"
        " HRINI CHAR(4), HRFIN CHAR(4), DTINIVALID DATE, DTFINVALID DATE,"
        " IDDESCACRE SMALLINT, IDVALPERC SMALLINT, VRPRECDIF DOUBLE PRECISION,"
        " IDVISUALIZA SMALLINT) ON COMMIT DELETE ROWS");
    conn_->exec("TRUNCATE PRECDIF_IN");
    {
        PostgresCopyStream out(*conn_, "COPY PRECDIF_IN (" + std::string(schema::kRuleColumns) +
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
    PostgresResult r = conn_->exec(
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
