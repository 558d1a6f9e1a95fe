#include "till/TillFile.h"

#include <array>
#include <ctime>
#include <memory>
#include <filesystem>
#include <sqlite3.h>
#include <stdexcept>

#include "till/TillStatement.h"

namespace till {

namespace {

// The file's tables keep the server's column names; branch and table are those of the
// state row. Keys lead with the product, the order of every read.
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS ESTADO (CDFILIAL TEXT NOT NULL, CDTABEPREC TEXT NOT NULL,"
    " NRALTERACAO INTEGER NOT NULL, DTATUALIZACAO TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS PRODUTO (CDPRODUTO TEXT PRIMARY KEY, CDARVPROD TEXT NOT NULL,"
    " NMPRODUTO TEXT NOT NULL) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS ITEMPREC (CDPRODUTO TEXT NOT NULL, DTINIVGPREC TEXT NOT NULL,"
    " VRPRECO REAL NOT NULL, PRIMARY KEY (CDPRODUTO, DTINIVGPREC)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS PRECDIF (CDFILIAL TEXT NOT NULL, CDTABEPREC TEXT NOT NULL,"
    " DTINIVGPREC TEXT NOT NULL, CDPRODUTO TEXT NOT NULL, IDDIA TEXT NOT NULL,"
    " CDTIPOCONS TEXT NOT NULL, HRINI TEXT NOT NULL, HRFIN TEXT NOT NULL,"
    " DTINIVALID TEXT NOT NULL, DTFINVALID TEXT NOT NULL, IDDESCACRE INTEGER NOT NULL,"
    " IDVALPERC INTEGER NOT NULL, VRPRECDIF REAL NOT NULL, IDVISUALIZA INTEGER NOT NULL,"
    " DTULTATU TEXT NOT NULL, PRIMARY KEY (CDPRODUTO, DTINIVGPREC, IDDIA, CDTIPOCONS, HRINI,"
    " HRFIN, DTINIVALID, DTFINVALID)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS TABEVEND (DTINIVGPREC TEXT PRIMARY KEY,"
    " DTFINVGPREC TEXT NOT NULL) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS FERIADO (CDFILIAL TEXT NOT NULL, DTFERIADO TEXT NOT NULL,"
    " NMFERIADO TEXT NOT NULL, PRIMARY KEY (DTFERIADO, CDFILIAL)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS TIPOCONS (CDTIPOCONS TEXT PRIMARY KEY,"
    " NMTIPOCONS TEXT NOT NULL) WITHOUT ROWID;";

constexpr const char* kRuleColumns =
    "CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, IDDIA, CDTIPOCONS, HRINI, HRFIN,"
    " DTINIVALID, DTFINVALID, IDDESCACRE, IDVALPERC, VRPRECDIF, IDVISUALIZA, DTULTATU";
// The server's key order within one product and period.
constexpr const char* kRuleOrder =
    " ORDER BY CDPRODUTO, IDDIA, CDTIPOCONS, HRINI, HRFIN, DTINIVALID, DTFINVALID";

wire::Date dateOf(std::string_view text) {
    const auto date = wire::Date::fromIso(text);
    if (!date) {
        throw std::runtime_error("data inválida no arquivo do caixa: " + std::string(text));
    }
    return *date;
}

// Reads the row's rule into r, reusing the room its texts already have.
void readRule(const TillStatement& s, server::RuleRow& r) {
    r.branch.assign(s.view(0));
    r.table.assign(s.view(1));
    r.periodStart = dateOf(s.view(2));
    r.product.assign(s.view(3));
    const std::string_view day = s.view(4);
    r.day = day.empty() ? 'T' : day[0];
    r.consumerType.assign(s.view(5));
    r.timeStart.assign(s.view(6));
    r.timeEnd.assign(s.view(7));
    r.validFrom = dateOf(s.view(8));
    r.validTo = dateOf(s.view(9));
    r.adjustment = static_cast<server::Adjustment>(s.integer(10) != 0);
    r.amountKind = static_cast<server::AmountKind>(s.integer(11) != 0);
    r.amount = s.number(12).value_or(0);
    r.display = static_cast<server::Display>(s.integer(13) != 0);
    r.updatedAt.assign(s.view(14));
}

// The condition of a product range on CDPRODUTO, its values bound from ?1 to ?3.
constexpr const char* kInRange =
    " WHERE (?1 = '' OR CDPRODUTO >= ?1) AND (?2 = '' OR CDPRODUTO <= ?2)"
    " AND (?3 IS NULL OR CDPRODUTO < ?3)";

void bindRange(TillStatement& s, const ProductRange& range) {
    s.bind(1, range.first).bind(2, range.next ? std::string() : range.last);
    if (range.next) {
        s.bind(3, *range.next);
    } else {
        s.bindNull(3);
    }
}

// A statement in use: reset when the caller is done with it, so that no read stays open
// between two uses.
class InUse {
public:
    explicit InUse(TillStatement& s) : s_(s) {}
    ~InUse() { s_.reset(); }
    InUse(const InUse&) = delete;
    InUse& operator=(const InUse&) = delete;
    TillStatement& operator*() const { return s_; }
    TillStatement* operator->() const { return &s_; }

private:
    TillStatement& s_;
};

}  // namespace

std::string clockNow(const char* format, bool utc) {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    if (utc) {
        gmtime_r(&now, &parts);
    } else {
        localtime_r(&now, &parts);
    }
    char text[32];
    std::strftime(text, sizeof text, format, &parts);
    return text;
}

std::string utcNow() {
    return clockNow("%Y-%m-%dT%H:%M:%SZ", true);
}

TillFile::TillFile(const std::string& path, bool create) {
    if (!create && !std::filesystem::exists(path)) {
        throw std::runtime_error("o arquivo do caixa " + path + " não existe (vnd-till sync o cria)");
    }
    // One thread uses an open file at a time (TillReplica's rule): SQLite need not lock
    // the connection around every call, as it does for each column read otherwise.
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        const std::string why = db_ ? sqlite3_errmsg(db_) : "sem memória";
        sqlite3_close(db_);
        db_ = nullptr;
        throw std::runtime_error("não foi possível abrir o arquivo do caixa " + path + ": " + why);
    }
    // A sync writing beside a price being read: the reader waits for the writer's commit.
    sqlite3_busy_timeout(db_, 10000);
    try {
        if (create) {
            execute(kSchema);
        }
        TillStatement tables(db_, "SELECT count(*) FROM sqlite_master WHERE name = 'ESTADO'");
        if (!tables.step() || tables.integer(0) == 0) {
            throw std::runtime_error(path + " não é um arquivo de caixa (vnd-till sync o cria)");
        }
    } catch (...) {
        sqlite3_close(db_);
        throw;
    }
}

TillFile::~TillFile() {
    for (auto& s : statements_) {
        s.reset();  // finalized before the file closes
    }
    sqlite3_close(db_);
}

TillStatement& TillFile::prepared(Query query) {
    static const std::string ruleSelect = std::string("SELECT ") + kRuleColumns + " FROM PRECDIF";
    static const std::array<std::string, static_cast<std::size_t>(Query::Last)> sql = {
        "BEGIN",
        // Taken at once, so that a reader's lock shows at the start and not at the commit.
        "BEGIN IMMEDIATE",
        "COMMIT",
        "SELECT CDFILIAL, CDTABEPREC, NRALTERACAO, DTATUALIZACAO FROM ESTADO",
        "DELETE FROM ESTADO",
        "INSERT INTO ESTADO VALUES (?1, ?2, ?3, ?4)",
        std::string("DELETE FROM PRODUTO") + kInRange,
        std::string("DELETE FROM ITEMPREC") + kInRange,
        std::string("DELETE FROM PRECDIF") + kInRange,
        "INSERT OR REPLACE INTO PRODUTO VALUES (?1, ?2, ?3)",
        "INSERT OR REPLACE INTO ITEMPREC VALUES (?1, ?2, ?3)",
        std::string("INSERT OR REPLACE INTO PRECDIF (") + kRuleColumns +
            ") VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15)",
        "DELETE FROM TABEVEND",
        "DELETE FROM FERIADO",
        "DELETE FROM TIPOCONS",
        "INSERT OR REPLACE INTO TABEVEND VALUES (?1, ?2)",
        "INSERT OR REPLACE INTO FERIADO VALUES (?1, ?2, ?3)",
        "INSERT OR REPLACE INTO TIPOCONS VALUES (?1, ?2)",
        "SELECT DTINIVGPREC, DTFINVGPREC FROM TABEVEND ORDER BY DTINIVGPREC",
        "SELECT CDFILIAL, DTFERIADO, NMFERIADO FROM FERIADO"
        " WHERE DTFERIADO >= ?1 AND DTFERIADO <= ?2 ORDER BY DTFERIADO, CDFILIAL",
        "SELECT P.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO, I.VRPRECO FROM PRODUTO P"
        " LEFT JOIN ITEMPREC I ON I.CDPRODUTO = P.CDPRODUTO"
        " AND I.DTINIVGPREC = ?2 WHERE P.CDPRODUTO = ?1",
        ruleSelect + " WHERE CDPRODUTO = ?1 AND DTINIVGPREC = ?2" + kRuleOrder,
        "SELECT P.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO, I.VRPRECO"
        " FROM PRODUTO P LEFT JOIN ITEMPREC I ON I.CDPRODUTO ="
        " P.CDPRODUTO AND I.DTINIVGPREC = ?1 ORDER BY P.CDPRODUTO",
        ruleSelect + " WHERE DTINIVGPREC = ?1" + kRuleOrder,
        "SELECT 1 FROM TIPOCONS WHERE CDTIPOCONS = ?1",
        "SELECT count(*) FROM PRODUTO",
        "SELECT count(*) FROM PRECDIF",
        "SELECT count(*) FROM PRODUTO WHERE CDPRODUTO > ?1 AND CDPRODUTO < ?2",
    };
    auto& s = statements_[static_cast<std::size_t>(query)];
    if (!s) {
        s = std::make_unique<TillStatement>(db_, sql[static_cast<std::size_t>(query)]);
    }
    return *s;
}

void TillFile::execute(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string why = error ? error : sqlite3_errmsg(db_);
        sqlite3_free(error);
        throw std::runtime_error("erro no arquivo do caixa: " + why);
    }
}

std::optional<TillState> TillFile::state() {
    const InUse s(prepared(Query::State));
    if (!s->step()) {
        return std::nullopt;
    }
    return TillState{s->text(0), s->text(1), s->integer(2), s->text(3)};
}

void TillFile::transaction(Query begin, const std::function<void()>& fn) {
    InUse(prepared(begin))->step();
    try {
        fn();
        InUse(prepared(Query::Commit))->step();
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void TillFile::inTransaction(const std::function<void()>& fn) {
    transaction(Query::BeginImmediate, fn);
}

void TillFile::readTogether(const std::function<void()>& fn) {
    transaction(Query::Begin, fn);
}

void TillFile::applyPage(const PriceDataPage& page, const ProductRange& range) {
    for (Query drop : {Query::DeleteProducts, Query::DeletePrices, Query::DeleteRules}) {
        const InUse s(prepared(drop));
        bindRange(*s, range);
        s->step();
    }
    const InUse product(prepared(Query::InsertProduct));
    for (const server::PricedProduct& p : page.products) {
        product->bind(1, p.code).bind(2, p.treeCode).bind(3, p.name).run();
    }
    const InUse price(prepared(Query::InsertPrice));
    for (const BasePrice& p : page.prices) {
        price->bind(1, p.product).bind(2, p.periodStart).bind(3, p.price).run();
    }
    const InUse rule(prepared(Query::InsertRule));
    for (const server::RuleRow& r : page.rules) {
        rule->bind(1, r.branch).bind(2, r.table).bind(3, r.periodStart.iso()).bind(4, r.product);
        rule->bind(5, std::string(1, r.day)).bind(6, r.consumerType).bind(7, r.timeStart);
        rule->bind(8, r.timeEnd).bind(9, r.validFrom.iso()).bind(10, r.validTo.iso());
        rule->bind(11, static_cast<long long>(server::columnValue(r.adjustment)));
        rule->bind(12, static_cast<long long>(server::columnValue(r.amountKind)));
        rule->bind(13, r.amount).bind(14, static_cast<long long>(server::columnValue(r.display)));
        rule->bind(15, r.updatedAt).run();
    }
    InUse(prepared(Query::ClearPeriods))->step();
    InUse(prepared(Query::ClearHolidays))->step();
    InUse(prepared(Query::ClearTypes))->step();
    const InUse period(prepared(Query::InsertPeriod));
    for (const server::ValidityPeriod& p : page.periods) {
        period->bind(1, p.start).bind(2, p.end).run();
    }
    const InUse holiday(prepared(Query::InsertHoliday));
    for (const server::Holiday& h : page.holidays) {
        holiday->bind(1, h.branch).bind(2, h.date.iso()).bind(3, h.name).run();
    }
    const InUse type(prepared(Query::InsertType));
    for (const ConsumerType& t : page.consumerTypes) {
        type->bind(1, t.code).bind(2, t.name).run();
    }
}

void TillFile::setState(const TillState& state) {
    InUse(prepared(Query::ClearState))->step();
    const InUse s(prepared(Query::InsertState));
    s->bind(1, state.branch).bind(2, state.table).bind(3, state.ate).bind(4, state.updatedAt).run();
}

std::vector<server::ValidityPeriod> TillFile::periods() {
    std::vector<server::ValidityPeriod> periods;
    const InUse s(prepared(Query::Periods));
    while (s->step()) {
        periods.push_back({"", "", s->text(0), s->text(1)});
    }
    return periods;
}

std::vector<server::Holiday> TillFile::holidays(const wire::Date& from, const wire::Date& to) {
    std::vector<server::Holiday> holidays;
    const InUse s(prepared(Query::Holidays));
    s->bind(1, from.iso()).bind(2, to.iso());
    while (s->step()) {
        holidays.push_back({s->text(0), dateOf(s->text(1)), s->text(2)});
    }
    return holidays;
}

std::optional<server::PricedProduct> TillFile::product(const std::string& code,
                                                       const std::string& periodStart) {
    const InUse s(prepared(Query::Product));
    s->bind(1, code).bind(2, periodStart);
    if (!s->step()) {
        return std::nullopt;
    }
    return server::PricedProduct{s->text(0), s->text(1), s->text(2), s->number(3)};
}

std::vector<server::RuleRow> TillFile::productRules(const std::string& code,
                                                    const std::string& periodStart) {
    std::vector<server::RuleRow> rules;
    const InUse s(prepared(Query::ProductRules));
    s->bind(1, code).bind(2, periodStart);
    while (s->step()) {
        readRule(*s, rules.emplace_back());
    }
    return rules;
}

void TillFile::forEachPricedProduct(
    const std::string& periodStart,
    const std::function<void(const server::PricedProduct&, const std::vector<server::RuleRow>&)>&
        fn) {
    // Two reads in product order, walked side by side: the products with their base
    // prices, and the period's rules.
    const InUse productsInUse(prepared(Query::PricedProducts));
    const InUse rulesInUse(prepared(Query::PeriodRules));
    TillStatement& products = *productsInUse;
    TillStatement& rules = *rulesInUse;
    products.bind(1, periodStart);
    rules.bind(1, periodStart);
    bool ruleReady = rules.step();
    // The rows of one product, read into the rows the last product left.
    std::vector<server::RuleRow> own;
    while (products.step()) {
        const server::PricedProduct p{products.text(0), products.text(1), products.text(2),
                                      products.number(3)};
        // Rules of a product the file no longer has are passed over.
        while (ruleReady && rules.view(3) < p.code) {
            ruleReady = rules.step();
        }
        std::size_t count = 0;
        while (ruleReady && rules.view(3) == p.code) {
            readRule(rules, count < own.size() ? own[count] : own.emplace_back());
            ++count;
            ruleReady = rules.step();
        }
        own.resize(count);
        fn(p, own);
    }
}

bool TillFile::consumerTypeStored(const std::string& code) {
    const InUse s(prepared(Query::TypeStored));
    s->bind(1, code);
    return s->step();
}

long TillFile::productCount() {
    const InUse s(prepared(Query::ProductCount));
    s->step();
    return static_cast<long>(s->integer(0));
}

long TillFile::ruleCount() {
    const InUse s(prepared(Query::RuleCount));
    s->step();
    return static_cast<long>(s->integer(0));
}

long TillFile::productsBetween(const std::string& after, const std::string& before) {
    const InUse s(prepared(Query::ProductsBetween));
    s->bind(1, after).bind(2, before).step();
    return static_cast<long>(s->integer(0));
}

}  // namespace till
