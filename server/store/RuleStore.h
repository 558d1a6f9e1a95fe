#pragma once
// The server's storage: reference data read by the screen and the differentiated prices.

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "server/pricing/RuleRow.h"
#include "server/store/SqlStatement.h"
#include "server/store/StoreError.h"
#include "demodata/DemoDataSet.h"
#include "protocol/Date.h"

namespace server {

/// The schema version this build writes; init and the server's start upgrade older
/// databases to it. Version 2 added the base prices (ITEMPREC), the holidays (FERIADO)
/// and the rule history (PRECDIFHIST).
inline constexpr int kSchemaVersion = 2;

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

/// Rows of every table, for `init` to say what it would replace.
struct StoredCounts {
    long branches = 0;       ///< FILIAL
    long priceTables = 0;    ///< TABEPREC
    long periods = 0;        ///< TABEVEND
    long products = 0;       ///< PRODUTO
    long assortment = 0;     ///< PRODFILI
    long consumerTypes = 0;  ///< TIPOCONS
    long rules = 0;          ///< PRECDIF
    long basePrices = 0;     ///< ITEMPREC
    long holidays = 0;       ///< FERIADO
    long history = 0;        ///< PRECDIFHIST

    /// The members in declaration order, as schema::kCountEveryTable reads them.
    static constexpr std::size_t kTables = 10;
    static StoredCounts fromColumns(const std::array<long, kTables>& n);
    bool empty() const;
    /// "3 filiais, 3 tabelas de preço, …, 4 regras gravadas e 2 alterações no histórico",
    /// every table named.
    std::string text() const;
};

/// Storage behind the server. Not thread-safe: one caller at a time (but see interrupt).
/// Every method throws StoreError (its text names the statement and carries the
/// database's own words, for the server's log) when the database fails.
class RuleStore {
public:
    virtual ~RuleStore() = default;

    /// Creates the tables of an empty database, or upgrades one of an older schema
    /// version to kSchemaVersion, in one transaction that keeps every stored row: on any
    /// failure the database is left as it was. Safe to call from several processes at
    /// once (one upgrades, the others find it done); a database already current is left
    /// alone. Throws std::runtime_error (schema::newerVersionMessage) when the database
    /// was written by a newer build, changing nothing.
    virtual void createSchema() = 0;
    /// The stored schema version, 0 for a database never initialised.
    virtual int schemaVersion() = 0;
    /// Rows in every table; the schema must exist.
    virtual StoredCounts storedCounts() = 0;
    /// Replaces every reference table (branches, price tables, periods, products,
    /// assortments, consumer types, base prices, holidays) by the set's rows and, in the
    /// same transaction, removes the stored rules the new rows no longer back: whose
    /// branch, price table, validity period or product is gone, or whose product the
    /// branch no longer sells. All other rules, and the rule history, are kept. Returns
    /// how many rules were removed.
    virtual long replaceReferenceData(const demo::DataSet& set) = 0;

    /// Every branch when code is absent, else the one with that exact code (or none).
    virtual std::vector<demo::Branch> branches(const std::optional<std::string>& code) = 0;
    /// The branch's price tables in code order.
    virtual std::vector<demo::PriceTable> priceTables(const std::string& branch) = 0;
    /// The table's validity periods in start order; only the one starting on `start`
    /// when given.
    virtual std::vector<demo::ValidityPeriod> periods(const std::string& branch,
                                                      const std::string& table,
                                                      const std::optional<wire::Date>& start) = 0;
    virtual bool consumerTypeExists(const std::string& code) = 0;
    /// The products the branch sells, in product-code order.
    virtual std::vector<ProductRef> branchProducts(const std::string& branch) = 0;
    /// The products among codes that the branch sells, each once, in product-code order:
    /// a short list is checked without reading the whole assortment.
    virtual std::vector<ProductRef> branchProductsAmong(const std::string& branch,
                                                        const std::vector<std::string>& codes) = 0;

    /// Writes every row in one transaction, replacing rows with the same key and leaving
    /// all others alone; on any failure nothing is written. Rows must have distinct keys.
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
    /// Runs body inside one write transaction: committed when body returns, rolled back
    /// when it throws (the exception goes on to the caller). Not nested.
    virtual void writeTransaction(const std::function<void()>& body) = 0;
    /// Inside a write transaction, before a change of the price table's rules copies them
    /// into the history: waits until no other transaction, of any process, changes that
    /// table's rules, and keeps every other out until this one ends, so that each rule
    /// row's history records its changes one after another. A change of several price
    /// tables takes them in (branch, table) order. A store whose write transaction already
    /// keeps every other writer out (SQLite) has nothing more to do.
    virtual void lockPriceTable(const std::string& /*branch*/, const std::string& /*table*/) {}

    /// Runs body, whose statements only read, so that they all see one state of the
    /// database: on SQLite one read transaction, whose lock on the log is then taken once
    /// for all of them instead of once per statement; what another process commits
    /// meanwhile is seen by the next call. On PostgreSQL each statement reads as before.
    /// body must not write.
    virtual void readTogether(const std::function<void()>& body) { body(); }

    /// Every statement from now on must end by deadline (time_point::max() for none); a
    /// wait for the database past it is abandoned and throws StoreError (Timeout), with
    /// any transaction rolled back.
    virtual void setDeadline(std::chrono::steady_clock::time_point deadline) = 0;
    /// From now on every statement, also one running on another thread now, is abandoned
    /// as soon as it can be and throws StoreError (Interrupted), its transaction rolled
    /// back. The one method that may be called while another thread uses the store; the
    /// store is then good only for being destroyed.
    virtual void interrupt() = 0;

private:
    Caller caller_;
};

/// Reads the 15 columns of schema::kRuleSelect, from column `first` on, into row.
void readRuleRow(const SqlRow& r, int first, RuleRow& row);

/// Whether opening a store may create its database. Only `init` creates one: everything
/// else needs a database that exists, so that a mistyped path is an error, not a new file.
enum class Creation { MustExist, MayCreate };

/// Opens the store a database URL names: "sqlite:PATH" or "postgresql://..." (also
/// "postgres://..."). A SQLite file made by MayCreate is readable by its owner only
/// (mode 0600), and so are its -wal and -shm files. Throws std::invalid_argument for
/// another URL and StoreError when the database cannot be reached or, with MustExist,
/// the SQLite file does not exist (no file is then left behind).
std::unique_ptr<RuleStore> openStore(const std::string& url,
                                     Creation creation = Creation::MustExist);
/// The same with the database's time bounds.
std::unique_ptr<RuleStore> openStore(const std::string& url, const StoreSettings& settings,
                                     Creation creation = Creation::MustExist);

/// An opened store and the schema version its database had when opened.
struct InitialisedStore {
    std::unique_ptr<RuleStore> store;
    int version = 0;
};
/// Opens the existing database at url and reads its schema version, changing nothing:
/// one never initialised is refused (std::runtime_error telling to run init).
InitialisedStore openInitialisedStore(const std::string& url, const StoreSettings& settings = {});

/// Opens the existing database at url for serving: one never initialised is refused
/// (std::runtime_error telling to run init), one of an older schema is upgraded first
/// (createSchema; then upgraded, when given, is told the version found), one of a newer
/// schema is refused.
std::unique_ptr<RuleStore> openCurrentStore(const std::string& url,
                                            const StoreSettings& settings = {},
                                            const std::function<void(int found)>& upgraded = {});
/// Opens the existing database at url for a command that only reads, changing nothing:
/// one never initialised, or of another schema than this build's, is refused
/// (std::runtime_error telling to run init, or saying the schema is newer).
std::unique_ptr<RuleStore> openStoreToRead(const std::string& url);

/// The local time as "YYYY-MM-DD HH:MM:SS", the form DTULTATU is written in.
std::string currentTimestamp();
/// The UTC time as "YYYY-MM-DD HH:MM:SS.mmm", the form DTOPERACAO is written in; never
/// the same or earlier than the one this process gave before, so that the history's
/// newest-first order follows the order of the changes.
std::string operationTimestamp();

}  // namespace server
