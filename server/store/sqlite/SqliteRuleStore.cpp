#include "server/store/sqlite/SqliteRuleStore.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <stdexcept>
#include <string>
#include <thread>
#include <unordered_map>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include "server/store/Schema.h"
#include "protocol/ValueCodec.h"

namespace server {

namespace {

struct CloseDb {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct FinalizeStmt {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};

using Clock = std::chrono::steady_clock;

// What bounds the statements of one connection: the call's deadline and the server's
// shutdown. SQLite asks the progress handler now and then while a statement runs, and
// the busy handler while another writer holds the lock.
struct Watch {
    Clock::time_point deadline = Clock::time_point::max();
    std::atomic<bool> interrupted{false};
    bool abortable = true;  // false while a transaction ends: rollback and commit run whole
};

// A writer in the way is waited for this long at most (unless the deadline comes first);
// then the store fails as busy and the caller may try again.
constexpr auto kBusyWait = std::chrono::seconds(10);

int onProgress(void* data) {
    const Watch& w = *static_cast<const Watch*>(data);
    return w.abortable && (w.interrupted.load() || Clock::now() >= w.deadline) ? 1 : 0;
}

int onBusy(void* data, int count) {
    thread_local Clock::time_point firstBusy;
    const Watch& w = *static_cast<const Watch*>(data);
    const auto now = Clock::now();
    if (count == 0) {
        firstBusy = now;
    }
    const auto limit = std::min(w.deadline, firstBusy + kBusyWait);
    if (w.interrupted.load() || now >= limit) {
        return 0;
    }
    const auto pause = std::chrono::milliseconds(std::min(1 + count, 20));
    std::this_thread::sleep_for(std::min<Clock::duration>(pause, limit - now));
    return 1;
}

StoreFailure failureOf(int code, const Watch* watch) {
    switch (code & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return watch && Clock::now() >= watch->deadline ? StoreFailure::Timeout
                                                            : StoreFailure::Busy;
        case SQLITE_INTERRUPT:
            return watch && watch->interrupted.load() ? StoreFailure::Interrupted
                                                      : StoreFailure::Timeout;
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return StoreFailure::Permission;
        case SQLITE_READONLY:
            return StoreFailure::ReadOnly;
        case SQLITE_FULL:
        case SQLITE_NOMEM:
            return StoreFailure::Space;
        case SQLITE_CANTOPEN:
        case SQLITE_IOERR:
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return StoreFailure::Unavailable;
        default:
            return StoreFailure::Other;
    }
}

[[noreturn]] void fail(sqlite3* db, std::string_view what, const Watch* watch = nullptr) {
    std::string text =
        "Erro no banco de dados SQLite (" + std::string(what) + "): " + sqlite3_errmsg(db);
    const StoreFailure kind = failureOf(sqlite3_extended_errcode(db), watch);
    if (kind == StoreFailure::Busy) {
        throw TransientStoreError(text);
    }
    throw StoreError(kind, text);
}

// The statements of one connection, each prepared once and kept: a lookup then costs
// its bindings and steps, not a parse of its SQL every time.
class StatementCache {
  public:
    sqlite3_stmt* get(sqlite3* db, std::string_view sql) {
        auto it = prepared_.find(sql);
        if (it != prepared_.end()) {
            return it->second.get();
        }
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()),
                               SQLITE_PREPARE_PERSISTENT, &raw, nullptr) != SQLITE_OK) {
            fail(db, sql);
        }
        prepared_.emplace(std::string(sql), raw);
        return raw;
    }

  private:
    struct Hash : std::hash<std::string_view> {
        using is_transparent = void;
    };
    std::unordered_map<std::string, std::unique_ptr<sqlite3_stmt, FinalizeStmt>, Hash,
                       std::equal_to<>>
        prepared_;
};

// A connection and its kept statements.
struct Connection {
    sqlite3* db;
    StatementCache& cache;
    const Watch* watch;
};

// A kept statement in use, with text/number binding by position (1-based) and column
// reads. It is reset and its bindings cleared when this ends, so an unfinished read
// never holds its snapshot of the database past its use.
class Statement {
  public:
    Statement(Connection c, std::string_view sql)
        : db_(c.db), watch_(c.watch), stmt_(c.cache.get(c.db, sql)) {}
    ~Statement() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement& bind(int i, std::string_view text) {
        sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int i, long long n) {
        sqlite3_bind_int64(stmt_, i, n);
        return *this;
    }
    Statement& bind(int i, double d) {
        sqlite3_bind_double(stmt_, i, d);
        return *this;
    }
    /// Steps once: true while a row is available.
    bool step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) {
            return true;
        }
        if (rc != SQLITE_DONE) {
            fail(db_, sqlite3_sql(stmt_), watch_);
        }
        return false;
    }
    void reset() {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    std::string text(int col) const {
        const auto* p = sqlite3_column_text(stmt_, col);
        return p ? std::string(reinterpret_cast<const char*>(p),
                               static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)))
                 : std::string();
    }
    long long integer(int col) const { return sqlite3_column_int64(stmt_, col); }
    double real(int col) const { return sqlite3_column_double(stmt_, col); }
    sqlite3_stmt* get() const { return stmt_; }

  private:
    sqlite3* db_;
    const Watch* watch_;
    sqlite3_stmt* stmt_;
};

// A result row read straight from the statement.
class SqliteRow : public SqlRow {
public:
    explicit SqliteRow(sqlite3_stmt* stmt) : stmt_(stmt) {}
    bool isNull(int c) const override { return sqlite3_column_type(stmt_, c) == SQLITE_NULL; }
    std::string_view text(int c) const override {
        const auto* p = sqlite3_column_text(stmt_, c);
        return p ? std::string_view(reinterpret_cast<const char*>(p),
                                    static_cast<std::size_t>(sqlite3_column_bytes(stmt_, c)))
                 : std::string_view();
    }
    long long integer(int c) const override { return sqlite3_column_int64(stmt_, c); }
    double number(int c) const override { return sqlite3_column_double(stmt_, c); }

private:
    sqlite3_stmt* stmt_;
};

void bindAll(Statement& q, const std::vector<SqlParam>& params) {
    for (std::size_t i = 0; i < params.size(); ++i) {
        if (params[i]) {
            q.bind(static_cast<int>(i) + 1, *params[i]);
        }
    }
}

// The texts the history trigger writes with every replaced row: who and when, as the
// store was told for the change under way.
void resultText(sqlite3_context* context, const std::string& text) {
    sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}
void callerUser(sqlite3_context* context, int, sqlite3_value**) {
    resultText(context, static_cast<const RuleStore*>(sqlite3_user_data(context))->caller().user);
}
void callerStation(sqlite3_context* context, int, sqlite3_value**) {
    resultText(context,
               static_cast<const RuleStore*>(sqlite3_user_data(context))->caller().station);
}
void operationTime(sqlite3_context* context, int, sqlite3_value**) {
    resultText(context, *static_cast<const std::string*>(sqlite3_user_data(context)));
}

}  // namespace

struct SqliteRuleStore::Db {
    std::unique_ptr<sqlite3, CloseDb> handle;
    StatementCache statements;  // finalized before the handle closes
    Watch watch;
    std::string operationTime;  // DTOPERACAO of the change under way
    bool historyTrigger = false;
    sqlite3* get() const { return handle.get(); }
    Connection connection() { return {handle.get(), statements, &watch}; }
    void exec(std::string_view sql) {
        const std::string text(sql);
        if (sqlite3_exec(get(), text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            fail(get(), sql, &watch);
        }
    }
};

// Rolls back unless committed, so every failure path leaves the database as it was.
class SqliteTransaction {
public:
    // IMMEDIATE (for writing) takes the write lock up front: a busy database waits (busy
    // handler) here instead of failing half-way through the rows. A plain BEGIN (for
    // reading) takes the log's read lock at the first read and keeps it to the end.
    explicit SqliteTransaction(SqliteRuleStore::Db& db, const char* begin = "BEGIN IMMEDIATE")
        : db_(db) {
        if (sqlite3_exec(db_.get(), begin, nullptr, nullptr, nullptr) != SQLITE_OK) {
            fail(db_.get(), "BEGIN", &db_.watch);
        }
    }
    ~SqliteTransaction() {
        if (!done_) {
            // A deadline or a shutdown may be what ended the transaction: its rollback
            // must not be cut short too.
            db_.watch.abortable = false;
            sqlite3_exec(db_.get(), "ROLLBACK", nullptr, nullptr, nullptr);
            db_.watch.abortable = true;
        }
    }
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;
    // A commit on a local file is short and whole: it is never abandoned half-way, so
    // its outcome is never in doubt.
    void commit() {
        db_.watch.abortable = false;
        const int rc = sqlite3_exec(db_.get(), "COMMIT", nullptr, nullptr, nullptr);
        db_.watch.abortable = true;
        if (rc != SQLITE_OK) {
            fail(db_.get(), "COMMIT", &db_.watch);
        }
        done_ = true;
    }

private:
    SqliteRuleStore::Db& db_;
    bool done_ = false;
};

// The one statement every rule row is written with.
std::string ruleUpsertSql() {
    return "INSERT INTO PRECDIF (" + std::string(schema::kRuleColumns) +
           ", DTULTATU) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"
           " ON CONFLICT (" +
           std::string(schema::kRuleKey) +
           ") DO UPDATE SET IDDESCACRE = excluded.IDDESCACRE,"
           " IDVALPERC = excluded.IDVALPERC,"
           " VRPRECDIF = excluded.VRPRECDIF,"
           " IDVISUALIZA = excluded.IDVISUALIZA,"
           " DTULTATU = excluded.DTULTATU";
}

// Writes PRECDIF rows through one prepared upsert. A column is bound again only when its
// value differs from the row before: the rows of one rule share all but two columns, and
// binding costs as much as a good part of the insert itself. Bound texts are held here
// (SQLITE_STATIC), so nothing is copied into the statement.
class RuleWriter {
public:
  RuleWriter(Connection c, std::string now)
      : db_(c.db), upsert_(c, ruleUpsertSql()), now_(std::move(now)) {
      bindHeld(15, now_);
  }

    void write(const RuleRow& r) {
        text(1, branch_, r.branch);
        text(2, table_, r.table);
        date(3, periodStart_, r.periodStart);
        text(4, product_, r.product);
        if (first_ || day_[0] != r.day) {
            day_[0] = r.day;
            sqlite3_bind_text(upsert_.get(), 5, day_, 1, SQLITE_STATIC);
        }
        text(6, consumerType_, r.consumerType);
        text(7, timeStart_, r.timeStart);
        text(8, timeEnd_, r.timeEnd);
        date(9, validFrom_, r.validFrom);
        date(10, validTo_, r.validTo);
        integer(11, surcharge_, r.surcharge);
        integer(12, percentage_, r.percentage);
        if (first_ || amount_ != r.amount) {
            amount_ = r.amount;
            sqlite3_bind_double(upsert_.get(), 13, amount_);
        }
        integer(14, display_, r.display);
        first_ = false;
        // An upsert that updates leaves the last insert rowid alone; only a new row sets it
        // (rowids SQLite picks are never 0). This tells replaced rows from new ones without
        // a second look-up per row.
        sqlite3_set_last_insert_rowid(db_, 0);
        upsert_.step();
        sqlite3_reset(upsert_.get());  // keeps the bindings
        ++counts_.stored;
        if (sqlite3_last_insert_rowid(db_) == 0) {
            ++counts_.replaced;
        }
    }

    UpsertCounts counts() const { return counts_; }

private:
    struct HeldDate {
        wire::Date date;
        std::string text;
    };

    void bindHeld(int i, const std::string& held) {
        sqlite3_bind_text(upsert_.get(), i, held.data(), static_cast<int>(held.size()),
                          SQLITE_STATIC);
    }
    void text(int i, std::string& held, const std::string& value) {
        if (first_ || held != value) {
            held = value;
            bindHeld(i, held);
        }
    }
    void date(int i, HeldDate& held, const wire::Date& value) {
        if (first_ || !(held.date == value)) {
            held.date = value;
            held.text = value.iso();
            bindHeld(i, held.text);
        }
    }
    void integer(int i, int& held, int value) {
        if (first_ || held != value) {
            held = value;
            sqlite3_bind_int64(upsert_.get(), i, value);
        }
    }

    sqlite3* db_;
    Statement upsert_;
    std::string now_;
    bool first_ = true;
    std::string branch_, table_, product_, consumerType_, timeStart_, timeEnd_;
    char day_[1] = {' '};
    HeldDate periodStart_, validFrom_, validTo_;
    int surcharge_ = 0, percentage_ = 0, display_ = 0;
    double amount_ = 0;
    UpsertCounts counts_;
};

SqliteRuleStore::SqliteRuleStore(const std::string& path, Creation creation)
    : db_(std::make_unique<Db>()) {
    if (creation == Creation::MayCreate) {
        // SQLite would make the file by the umask, readable by everyone as a rule; made
        // here first it is the owner's alone, and SQLite gives its -wal and -shm files
        // the same mode. An existing file keeps the mode its owner gave it.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
        }
    } else {
        struct stat found {};
        if (::stat(path.c_str(), &found) != 0 && errno == ENOENT) {
            throw std::runtime_error("O banco de dados SQLite " + path +
                                     " não existe; crie-o com vnd-server init --db sqlite:" +
                                     path + ".");
        }
    }
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(
        path.c_str(), &raw,
        // One caller at a time (the class's contract), so SQLite's own lock around every
        // call is not needed. Without CREATE a file removed since the check above is
        // an error, not a new empty database.
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX |
            (creation == Creation::MayCreate ? SQLITE_OPEN_CREATE : 0),
        nullptr);
    db_->handle.reset(raw);
    if (rc != SQLITE_OK) {
        throw std::runtime_error("Não foi possível abrir o banco de dados SQLite " + path + ": " +
                                 (raw ? sqlite3_errmsg(raw) : "sem memória"));
    }
    sqlite3_busy_handler(db_->get(), onBusy, &db_->watch);
    sqlite3_create_function(db_->get(), "vnd_caller_user", 0, SQLITE_UTF8,
                            static_cast<RuleStore*>(this), callerUser, nullptr, nullptr);
    sqlite3_create_function(db_->get(), "vnd_caller_station", 0, SQLITE_UTF8,
                            static_cast<RuleStore*>(this), callerStation, nullptr, nullptr);
    sqlite3_create_function(db_->get(), "vnd_operation_time", 0, SQLITE_UTF8,
                            &db_->operationTime, operationTime, nullptr, nullptr);
    sqlite3_progress_handler(db_->get(), 1000, onProgress, &db_->watch);
    db_->exec("PRAGMA journal_mode=WAL");
    db_->exec("PRAGMA synchronous=NORMAL");
}

SqliteRuleStore::~SqliteRuleStore() = default;

void SqliteRuleStore::setDeadline(std::chrono::steady_clock::time_point deadline) {
    db_->watch.deadline = deadline;
}

void SqliteRuleStore::query(std::string_view sql, const std::vector<SqlParam>& params,
                            const std::function<void(const SqlRow&)>& fn, SqlRows) {
    // A SQLite read already steps through its rows one at a time.
    Statement q(db_->connection(), renderSql(sql, SqlDialect::Sqlite));
    bindAll(q, params);
    const SqliteRow row(q.get());
    while (q.step()) {
        fn(row);
    }
}

long SqliteRuleStore::execute(std::string_view sql, const std::vector<SqlParam>& params) {
    Statement q(db_->connection(), renderSql(sql, SqlDialect::Sqlite));
    bindAll(q, params);
    while (q.step()) {
    }
    return sqlite3_changes(db_->get());
}

void SqliteRuleStore::readTogether(const std::function<void()>& body) {
    SqliteTransaction tx(*db_, "BEGIN");
    body();
    tx.commit();
}

void SqliteRuleStore::writeTransaction(const std::function<void()>& body) {
    SqliteTransaction tx(*db_);
    db_->operationTime = operationTimestamp();
    body();
    tx.commit();
}

void SqliteRuleStore::interrupt() {
    db_->watch.interrupted = true;
    sqlite3_interrupt(db_->get());
}

int SqliteRuleStore::schemaVersion() {
    Statement exists(db_->connection(),
                     "SELECT 1 FROM sqlite_master WHERE type='table' AND name='SCHEMAVERSION'");
    if (!exists.step()) {
        return 0;
    }
    Statement version(db_->connection(), "SELECT MAX(VERSION) FROM SCHEMAVERSION");
    return version.step() ? static_cast<int>(version.integer(0)) : 0;
}

void SqliteRuleStore::createSchema() {
    // The write lock comes first: another process upgrading at the same time is waited
    // for, and then finds the version it wrote.
    SqliteTransaction tx(*db_);
    const int version = schemaVersion();
    if (version > kSchemaVersion) {
        throw std::runtime_error(schema::newerVersionMessage(version));
    }
    if (version == kSchemaVersion) {
        return;
    }
    for (std::string_view sql : schema::upgradeFrom(version)) {
        db_->exec(sql);
    }
    db_->exec("DELETE FROM SCHEMAVERSION");
    Statement(db_->connection(), "INSERT INTO SCHEMAVERSION (VERSION) VALUES (?)")
        .bind(1, static_cast<long long>(kSchemaVersion))
        .step();
    tx.commit();
}

StoredCounts SqliteRuleStore::storedCounts() {
    Statement q(db_->connection(), schema::kCountEveryTable);
    q.step();
    std::array<long, StoredCounts::kTables> n{};
    for (std::size_t i = 0; i < n.size(); ++i) {
        n[i] = static_cast<long>(q.integer(static_cast<int>(i)));
    }
    return StoredCounts::fromColumns(n);
}

long SqliteRuleStore::replaceReferenceData(const demo::DataSet& set) {
    SqliteTransaction tx(*db_);
    for (std::string_view table : schema::kReferenceTables) {
        db_->exec("DELETE FROM " + std::string(table));
    }
    Statement branch(db_->connection(), "INSERT INTO FILIAL VALUES (?,?,?,?,?,?,?,?)");
    for (const demo::Branch& b : set.branches) {
        branch.bind(1, b.code).bind(2, b.name).bind(3, b.segmentCode).bind(4, b.segment);
        branch.bind(5, b.differentiatedPrices).bind(6, b.posGroupCode).bind(7, b.posGroup);
        branch.bind(8, b.usesProductModule).step();
        branch.reset();
    }
    Statement table(db_->connection(), "INSERT INTO TABEPREC VALUES (?,?,?)");
    for (const demo::PriceTable& t : set.priceTables) {
        table.bind(1, t.branch).bind(2, t.code).bind(3, t.name).step();
        table.reset();
    }
    Statement period(db_->connection(), "INSERT INTO TABEVEND VALUES (?,?,?,?)");
    for (const demo::ValidityPeriod& p : set.periods) {
        period.bind(1, p.branch).bind(2, p.table).bind(3, p.start).bind(4, p.end).step();
        period.reset();
    }
    Statement product(db_->connection(), "INSERT INTO PRODUTO VALUES (?,?,?)");
    for (const demo::Product& p : set.products) {
        product.bind(1, p.code).bind(2, p.treeCode).bind(3, p.name).step();
        product.reset();
    }
    Statement sells(db_->connection(), "INSERT INTO PRODFILI VALUES (?,?)");
    for (const demo::BranchLink& l : set.assortment) {
        sells.bind(1, l.branch).bind(2, l.code).step();
        sells.reset();
    }
    Statement type(db_->connection(), "INSERT INTO TIPOCONS VALUES (?,?)");
    for (const demo::ConsumerType& c : set.consumerTypes) {
        type.bind(1, c.code).bind(2, c.name).step();
        type.reset();
    }
    // A million rows for the largest demo sets: one prepared insert, the branch, table
    // and period bound again only when they change.
    Statement price(db_->connection(), "INSERT INTO ITEMPREC (" +
                                           std::string(schema::kBasePriceColumns) +
                                           ") VALUES (?,?,?,?,?)");
    const demo::BasePrice* previous = nullptr;
    for (const demo::BasePrice& p : set.basePrices) {
        if (!previous || previous->branch != p.branch || previous->table != p.table ||
            previous->periodStart != p.periodStart) {
            price.bind(1, p.branch).bind(2, p.table).bind(3, p.periodStart);
        }
        price.bind(4, p.product).bind(5, p.price).step();
        sqlite3_reset(price.get());  // keeps the bindings
        previous = &p;
    }
    Statement holiday(db_->connection(), "INSERT INTO FERIADO (" +
                                             std::string(schema::kHolidayColumns) +
                                             ") VALUES (?,?,?)");
    for (const demo::Holiday& h : set.holidays) {
        holiday.bind(1, h.branch).bind(2, h.date).bind(3, h.name).step();
        holiday.reset();
    }
    db_->exec(schema::kDeleteUnbackedRules);
    const long removed = sqlite3_changes(db_->get());
    tx.commit();
    return removed;
}

std::vector<demo::Branch> SqliteRuleStore::branches(const std::optional<std::string>& code) {
    Statement q(db_->connection(),
                "SELECT CDFILIAL, NMFILIAL, CDSEGMER, SEGMENTO, IDPRECDIFCOM, CDGRPRODPDV,"
                " GRUPOPROD, IDUTMODPRODFIL FROM FILIAL WHERE ?1 IS NULL OR CDFILIAL = ?1"
                " ORDER BY CDFILIAL");
    if (code) {
        q.bind(1, *code);
    }
    std::vector<demo::Branch> out;
    while (q.step()) {
        out.push_back({q.text(0), q.text(1), q.text(2), q.text(3), q.text(4), q.text(5),
                       q.text(6), q.text(7)});
    }
    return out;
}

std::vector<demo::PriceTable> SqliteRuleStore::priceTables(const std::string& branch) {
    Statement q(db_->connection(),
                "SELECT CDFILIAL, CDTABEPREC, NMTABEPREC FROM TABEPREC WHERE CDFILIAL = ?"
                " ORDER BY CDTABEPREC");
    q.bind(1, branch);
    std::vector<demo::PriceTable> out;
    while (q.step()) {
        out.push_back({q.text(0), q.text(1), q.text(2)});
    }
    return out;
}

std::vector<demo::ValidityPeriod> SqliteRuleStore::periods(const std::string& branch,
                                                           const std::string& table,
                                                           const std::optional<wire::Date>& start) {
    Statement q(db_->connection(),
                "SELECT CDFILIAL, CDTABEPREC, DTINIVGPREC, DTFINVGPREC FROM TABEVEND"
                " WHERE CDFILIAL = ?1 AND CDTABEPREC = ?2 AND (?3 IS NULL OR DTINIVGPREC = ?3)"
                " ORDER BY DTINIVGPREC");
    q.bind(1, branch).bind(2, table);
    if (start) {
        q.bind(3, start->iso());
    }
    std::vector<demo::ValidityPeriod> out;
    while (q.step()) {
        out.push_back({q.text(0), q.text(1), q.text(2), q.text(3)});
    }
    return out;
}

bool SqliteRuleStore::consumerTypeExists(const std::string& code) {
    Statement q(db_->connection(), "SELECT 1 FROM TIPOCONS WHERE CDTIPOCONS = ?");
    q.bind(1, code);
    return q.step();
}

std::vector<ProductRef> SqliteRuleStore::branchProducts(const std::string& branch) {
    // Ordered by the assortment's own key (the same code): its index gives that order,
    // where ordering by the product's column would sort every row again.
    Statement q(db_->connection(),
                "SELECT P.CDPRODUTO, P.CDARVPROD FROM PRODFILI F JOIN PRODUTO P"
                " ON P.CDPRODUTO = F.CDPRODUTO WHERE F.CDFILIAL = ? ORDER BY F.CDPRODUTO");
    q.bind(1, branch);
    std::vector<ProductRef> out;
    while (q.step()) {
        out.push_back({q.text(0), q.text(1)});
    }
    return out;
}

std::vector<ProductRef> SqliteRuleStore::branchProductsAmong(
    const std::string& branch, const std::vector<std::string>& codes) {
    // The list goes in as one JSON array; the assortment's index is searched once per
    // listed code, in code order.
    Statement q(db_->connection(),
                "SELECT P.CDPRODUTO, P.CDARVPROD FROM PRODFILI F JOIN PRODUTO P"
                " ON P.CDPRODUTO = F.CDPRODUTO WHERE F.CDFILIAL = ?1"
                " AND F.CDPRODUTO IN (SELECT value FROM json_each(?2)) ORDER BY F.CDPRODUTO");
    q.bind(1, branch).bind(2, wire::dumpJson(nlohmann::json(codes)));
    std::vector<ProductRef> out;
    while (q.step()) {
        out.push_back({q.text(0), q.text(1)});
    }
    return out;
}

// Every row an upsert replaces is copied into the history by a trigger of this
// connection, in the same statement: no second look-up of the row, no extra bindings.
// The trigger is made outside any write transaction, so that no rollback of a store can
// take it away again once it is known to be there.
void SqliteRuleStore::prepareHistory() {
    if (db_->historyTrigger) {
        return;
    }
    db_->exec(
        "CREATE TEMP TRIGGER IF NOT EXISTS PRECDIF_HISTORIA BEFORE UPDATE ON main.PRECDIF"
        " BEGIN " +
        schema::historyInsert({.before = "OLD",
                               .after = "NEW",
                               .when = "vnd_operation_time()",
                               .user = "vnd_caller_user()",
                               .station = "vnd_caller_station()"}) +
        "; END");
    db_->historyTrigger = true;
}

UpsertCounts SqliteRuleStore::upsertRules(const std::vector<RuleRow>& rows) {
    prepareHistory();
    SqliteTransaction tx(*db_);
    db_->operationTime = operationTimestamp();
    RuleWriter writer(db_->connection(), currentTimestamp());
    for (const RuleRow& r : rows) {
        writer.write(r);
    }
    tx.commit();
    return writer.counts();
}

UpsertCounts SqliteRuleStore::upsertRule(const RuleRows& rows) {
    prepareHistory();
    SqliteTransaction tx(*db_);
    db_->operationTime = operationTimestamp();
    RuleWriter writer(db_->connection(), currentTimestamp());
    rows.forEach([&](const RuleRow& r) { writer.write(r); });
    tx.commit();
    return writer.counts();
}

}  // namespace server
