#pragma once
// The server's storage: reference data read by the screen and the differentiated prices.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "server/pricing/RuleRow.h"
#include "server/store/Change.h"
#include "server/store/ChangeLog.h"
#include "server/store/ReferenceData.h"
#include "server/store/Schema.h"
#include "server/store/SqlStatement.h"
#include "server/store/StoreError.h"
#include "server/store/StoredCounts.h"
#include "protocol/Date.h"

namespace server {

/// A rule's rows in compact form: every product with every day, all other columns those
/// of `shared` (whose product and day are not used). Products are distinct and days are
/// distinct, so every row has its own key. Rows are made one at a time, never all at once.
struct RuleRows {
    RuleRow shared;
    std::vector<std::string> products;
    std::vector<char> days;

    std::size_t size() const { return products.size() * days.size(); }
    /// Calls fn(const RuleRow&) for every row, product by product; the row passed is
    /// valid only during the call.
    template <class Fn>
    void forEach(Fn&& fn) const {
        RuleRow row = shared;
        for (const std::string& product : products) {
            row.product = product;
            for (char day : days) {
                row.day = day;
                fn(static_cast<const RuleRow&>(row));
            }
        }
    }
};

/// A product a branch sells, as rule expansion needs it.
struct ProductRef {
    std::string code;      ///< CDPRODUTO
    std::string treeCode;  ///< CDARVPROD
};

/// What one upsert did.
struct UpsertCounts {
    long stored = 0;    ///< rows written
    long replaced = 0;  ///< of which had a row with the same key before
};

/// How long a store may wait for its database. A call's own deadline (setDeadline) bounds
/// every wait as well; these bound what no call's deadline does.
struct StoreSettings {
    /// Connecting (PostgreSQL) must succeed within this time.
    std::chrono::milliseconds connectTimeout = std::chrono::seconds(5);
    /// TCP keepalives on the database connection: first probe after this idle time.
    std::chrono::seconds keepaliveIdle = std::chrono::seconds(30);
    /// The database's own bound on one statement (PostgreSQL statement_timeout); zero
    /// for none.
    std::chrono::milliseconds statementTimeout{0};
};

/// Whether a write transaction may run beside others, or must have the database's schema
/// and reference tables to itself (an upgrade, a replacement of the reference data).
enum class WriteScope { Shared, Exclusive };

/// Storage behind the server. Not thread-safe: one caller at a time (but see interrupt).
/// Every method throws StoreError (its text names the statement and carries the
/// database's own words, for the server's log) when the database fails.
///
/// What a backend spells its own way is the few primitives below (query, execute,
/// insertRows, hasTable, the transactions, the rule upserts); everything else is written
/// once over them.
class RuleStore {
public:
    virtual ~RuleStore() = default;

    /// Creates the tables of an empty database, or upgrades one of an older schema
    /// version to kSchemaVersion, in one transaction that keeps every stored row: on any
    /// failure the database is left as it was. Safe to call from several processes at
    /// once (one upgrades, the others find it done); a database already current is left
    /// alone. Throws std::runtime_error (schema::newerVersionMessage) when the database
    /// was written by a newer build, changing nothing.
    void createSchema();
    /// The stored schema version, 0 for a database never initialised.
    int schemaVersion();
    /// Rows in every table; the schema must exist.
    StoredCounts storedCounts();
    /// Replaces every reference table (branches, price tables, periods, products,
    /// assortments, consumer types, base prices, holidays) by the set's rows and, in the
    /// same transaction, removes the stored rules the new rows no longer back: whose
    /// branch, price table, validity period or product is gone, or whose product the
    /// branch no longer sells (removeUnbackedRules: each copied into the history). All
    /// other rules, and the rule history, are kept. Returns how many rules were removed.
    long replaceReferenceData(const ReferenceData& set);

    /// Inside a write transaction: removes the stored rules the reference tables no
    /// longer back (branch, price table, validity period or product gone, or the product
    /// no longer sold by the branch), each copied into the history first as removed
    /// ('E') by the store's caller. Returns how many.
    long removeUnbackedRules();

    /// Every branch when code is absent, else the one with that exact code (or none).
    std::vector<Branch> branches(const std::optional<std::string>& code);
    /// The branch's price tables in code order.
    std::vector<PriceTable> priceTables(const std::string& branch);
    /// The table's validity periods in start order; only the one starting on `start`
    /// when given.
    std::vector<ValidityPeriod> periods(const std::string& branch, const std::string& table,
                                        const std::optional<wire::Date>& start);
    bool consumerTypeExists(const std::string& code);
    /// The products the branch sells, in product-code order.
    std::vector<ProductRef> branchProducts(const std::string& branch);
    /// The products among codes that the branch sells, each once, in product-code order:
    /// a short list is checked without reading the whole assortment.
    std::vector<ProductRef> branchProductsAmong(const std::string& branch,
                                                const std::vector<std::string>& codes);

    /// Writes every row in one transaction, replacing rows with the same key and leaving
    /// all others alone; on any failure nothing is written. Rows must have distinct keys.
    /// Inside writeTransaction the rows are part of that transaction.
    virtual UpsertCounts upsertRules(const std::vector<RuleRow>& rows) = 0;
    /// The same for the rows of one rule, streamed from their compact form, so that a rule
    /// over a whole assortment never exists as one row object per product and day.
    virtual UpsertCounts upsertRule(const RuleRows& rows) = 0;
    /// Calls fn for every stored rule in key order, optionally of one branch and/or one
    /// price table, reading them a few at a time: the rules are never all in memory. The
    /// row passed is valid only during the call; fn must not use this store. An exception
    /// from fn ends the read and goes on to the caller.
    void forEachRule(const std::optional<std::string>& branch,
                     const std::optional<std::string>& table,
                     const std::function<void(const RuleRow&)>& fn);
    /// The same rules gathered in a vector, for callers that want them all at hand.
    std::vector<RuleRow> rules(const std::optional<std::string>& branch,
                               const std::optional<std::string>& table);
    long countRules();

    /// Who the changes from now on are made for: written into the rule history.
    struct Caller {
        std::string user;     ///< NMUSUARIO: the workstation's word for its user
        std::string station;  ///< NMESTACAO: the station's name, or the peer's address
    };
    void setCaller(const Caller& caller) { caller_ = caller; }
    const Caller& caller() const { return caller_; }

    /// Runs a statement written for both backends (SqlStatement.h) and calls fn for every
    /// row of its result. With SqlRows::Many the rows are read a batch at a time; fn must
    /// not use this store meanwhile.
    virtual void query(std::string_view sql, const std::vector<SqlParam>& params,
                       const std::function<void(const SqlRow&)>& fn,
                       SqlRows rows = SqlRows::Few) = 0;
    /// Runs a statement that gives no rows; the number of rows it changed.
    virtual long execute(std::string_view sql, const std::vector<SqlParam>& params) = 0;
    /// Appends rows to `table`, whose `columns` (a list as in an INSERT) are filled by
    /// next: it sets the cells of one row, one per column in that order, and answers
    /// true, or answers false when there are no more. The cells must stay valid until the
    /// next call. The way in for many rows at once (COPY on PostgreSQL); only inside
    /// writeTransaction.
    virtual void insertRows(std::string_view table, std::string_view columns,
                            const std::function<bool(std::vector<SqlCell>&)>& next) = 0;
    /// Whether the database has a table of that name (in the schema the store uses).
    virtual bool hasTable(std::string_view name) = 0;
    /// What the store's role lacks of the privileges the server needs (schema::kServerNeeds
    /// on the tables that exist, and what the backend needs besides), each a Portuguese
    /// sentence naming the GRANT that gives it; none for a backend without privileges
    /// (SQLite: the file's permissions decide).
    virtual std::vector<std::string> missingPrivileges() { return {}; }
    /// Whether other connections to the same database may read while this one reads and
    /// a writer writes, none waiting for another: PostgreSQL always, SQLite in WAL mode
    /// only (not, for one, a file it may only read).
    virtual bool readsAlongside() { return true; }
    /// Runs body inside one write transaction: committed when body returns, rolled back
    /// when it throws (the exception goes on to the caller). A write transaction begun
    /// inside another is part of it. What body reads of the schema and the reference
    /// tables stays as read until the commit: an Exclusive one (which may change them)
    /// waits for, and keeps out, every other write transaction of every process on the
    /// same database. The changes body logged (logChange) are written into the change log
    /// at its end, in the same transaction; once it has committed, the listener of
    /// setChangesCommitted is told.
    void writeTransaction(const std::function<void()>& body,
                          WriteScope scope = WriteScope::Shared);
    /// The one way into the change log (ALTPRECO), for every change of PRECDIF, ITEMPREC,
    /// FERIADO, TABEVEND, PRODUTO, PRODFILI or TIPOCONS, whoever makes it: inside writeTransaction,
    /// records that the transaction changes what `change` names. At the transaction's end
    /// its changes get the next numbers, consecutive, under a lock held until the commit
    /// (lockChangeLog), so that the numbers follow the commits without gaps across every
    /// process; a rollback writes none. The same change twice is one row. Throws
    /// std::logic_error outside a write transaction.
    void logChange(Change change);
    /// Logs that everything may have changed, for every branch: one row of every kind
    /// with CDFILIAL "T" and nothing else named.
    void logEverything();
    /// Who is told, after each commit that wrote change rows, what it wrote (called on
    /// the committing thread; must not use this store).
    void setChangesCommitted(std::function<void(const CommittedChanges&)> listener) {
        changesCommitted_ = std::move(listener);
    }
    /// Inside a write transaction, before its changes are numbered: waits until no other
    /// transaction, of any process, numbers changes, and keeps every other out until this
    /// one ends; the commit then tells every process listening (awaitChangeNotice). A
    /// store whose write transaction already keeps every other writer out (SQLite) has
    /// nothing more to do.
    virtual void lockChangeLog() {}
    /// Waits up to timeout for a sign that another connection has committed changes to
    /// the change log, and answers whether one came (it may come without a change).
    /// PostgreSQL listens for what lockChangeLog announces; SQLite looks whether the file
    /// changed, at most every 100 ms. Outside any transaction; throws StoreError.
    virtual bool awaitChangeNotice(std::chrono::milliseconds timeout) = 0;

    /// Inside a write transaction, before a change of the price table's rules copies them
    /// into the history: waits until no other transaction, of any process, changes that
    /// table's rules, and keeps every other out until this one ends, so that each rule
    /// row's history records its changes one after another. A change of several price
    /// tables takes them in (branch, table) order. A store whose write transaction already
    /// keeps every other writer out (SQLite) has nothing more to do.
    virtual void lockPriceTable(const std::string& /*branch*/, const std::string& /*table*/) {}

    /// Runs body, whose statements only read, so that they all see one state of the
    /// database, whatever another process commits meanwhile (it is seen by the next
    /// call): one read-only transaction (on SQLite its lock on the log is then taken once
    /// for all of them instead of once per statement; on PostgreSQL it is repeatable
    /// read). body must not write.
    virtual void readTogether(const std::function<void()>& body) = 0;

    /// Every statement from now on must end by deadline (time_point::max() for none); a
    /// wait for the database past it is abandoned and throws StoreError (Timeout), with
    /// any transaction rolled back.
    virtual void setDeadline(std::chrono::steady_clock::time_point deadline) = 0;
    /// From now on every statement, also one running on another thread now, is abandoned
    /// as soon as it can be and throws StoreError (Interrupted), its transaction rolled
    /// back. The one method that may be called while another thread uses the store; the
    /// store is then good only for being destroyed.
    virtual void interrupt() = 0;

protected:
    /// The backend's write transaction, as writeTransaction describes it.
    virtual void runWriteTransaction(const std::function<void()>& body, WriteScope scope) = 0;

private:
    Caller caller_;
    ChangeLog changes_;
    int writeDepth_ = 0;
    std::function<void(const CommittedChanges&)> changesCommitted_;
};

/// Reads the 15 columns of schema::kRuleSelect, from column `first` on, into row. Throws
/// StoreError for a value the column may not hold.
void readRuleRow(const SqlRow& r, int first, RuleRow& row);
/// Reads the 10 columns of schema::kRuleCells (day to display), from column `first` on,
/// into row; the key's first four columns and DTULTATU are left as they are.
void readRuleCells(const SqlRow& r, int first, RuleRow& row);
/// The member of a closed set (Adjustment, AmountKind, Display) a column holds; throws
/// StoreError, naming the column, for any value but 0 and 1.
template <class Set>
Set readColumnValue(const SqlRow& r, int column, std::string_view name) {
    const long long value = r.integer(column);
    if (const auto member = fromColumnValue<Set>(value)) {
        return *member;
    }
    throw StoreError(StoreFailure::Other, "Valor inválido no banco de dados: " +
                                              std::string(name) + " = " + std::to_string(value));
}

}  // namespace server
