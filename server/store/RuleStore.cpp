#include "server/store/RuleStore.h"

#include <optional>
#include <stdexcept>

#include "server/store/Timestamps.h"

namespace server {

namespace {

std::string text(const SqlRow& r, int column) {
    return std::string(r.text(column));
}

std::vector<ProductRef> productRefs(RuleStore& store, std::string_view sql,
                                    const std::vector<SqlParam>& params) {
    std::vector<ProductRef> out;
    store.query(sql, params,
                [&](const SqlRow& r) { out.push_back({text(r, 0), text(r, 1)}); });
    return out;
}

// Appends every row of `rows` to `table` through insertRows; cells(row, out) sets the
// cells of one row.
template <class Row, class Cells>
void insertAll(RuleStore& store, std::string_view table, std::string_view columns,
               const std::vector<Row>& rows, Cells cells) {
    auto at = rows.begin();
    store.insertRows(table, columns, [&](std::vector<SqlCell>& out) {
        if (at == rows.end()) {
            return false;
        }
        out.clear();
        cells(*at++, out);
        return true;
    });
}

}  // namespace

int RuleStore::schemaVersion() {
    if (!hasTable("SCHEMAVERSION")) {
        return 0;
    }
    int version = 0;
    query("SELECT COALESCE(MAX(VERSION), 0) FROM SCHEMAVERSION", {},
          [&](const SqlRow& r) { version = static_cast<int>(r.integer(0)); });
    return version;
}

void RuleStore::writeTransaction(const std::function<void()>& body, WriteScope scope) {
    if (writeDepth_ > 0) {
        body();  // part of the transaction under way
        return;
    }
    // A transaction made again after a failure starts from no change.
    changes_.clear();
    std::optional<CommittedChanges> written;
    writeDepth_ = 1;
    try {
        runWriteTransaction(
            [&] {
                body();
                written = changes_.write(*this);
            },
            scope);
    } catch (...) {
        writeDepth_ = 0;
        changes_.clear();
        throw;
    }
    writeDepth_ = 0;
    changes_.clear();
    if (written && changesCommitted_) {
        changesCommitted_(*written);
    }
}

void RuleStore::logChange(Change change) {
    if (writeDepth_ == 0) {
        throw std::logic_error("logChange fora de uma transação de escrita");
    }
    changes_.add(std::move(change));
}

void RuleStore::logEverything() {
    for (const ChangeKind kind : kChangeKinds) {
        logChange(Change::ofBranch("T", kind));
    }
}

void RuleStore::createSchema() {
    // Exclusive: another process upgrading at the same time is waited for, and then its
    // version is found here.
    writeTransaction(
        [&] {
            const int version = schemaVersion();
            if (version > kSchemaVersion) {
                throw std::runtime_error(schema::newerVersionMessage(version));
            }
            if (version == kSchemaVersion) {
                return;
            }
            for (std::string_view sql : schema::upgradeFrom(version)) {
                execute(sql, {});
            }
            // Rows written before the change log existed reach no till through it: a
            // till must take everything again.
            if (version > 0 && !storedCounts().empty()) {
                logEverything();
            }
            execute("DELETE FROM SCHEMAVERSION", {});
            execute("INSERT INTO SCHEMAVERSION (VERSION) VALUES ({i1})",
                    {std::to_string(kSchemaVersion)});
        },
        WriteScope::Exclusive);
}

StoredCounts RuleStore::storedCounts() {
    std::array<long, StoredCounts::kTables> n{};
    query(schema::kCountEveryTable, {}, [&](const SqlRow& r) {
        for (std::size_t i = 0; i < n.size(); ++i) {
            n[i] = static_cast<long>(r.integer(static_cast<int>(i)));
        }
    });
    return StoredCounts::fromColumns(n);
}

long RuleStore::replaceReferenceData(const ReferenceData& set) {
    long removed = 0;
    writeTransaction(
        [&] {
            for (std::string_view table : schema::kReferenceTables) {
                execute("DELETE FROM " + std::string(table), {});
            }
            insertAll(*this, "FILIAL", schema::kBranchColumns, set.branches,
                      [](const Branch& b, std::vector<SqlCell>& out) {
                          out.assign({b.code, b.name, b.segmentCode, b.segment,
                                      b.differentiatedPrices, b.posGroupCode, b.posGroup,
                                      b.usesProductModule});
                      });
            insertAll(*this, "TABEPREC", schema::kPriceTableColumns, set.priceTables,
                      [](const PriceTable& t, std::vector<SqlCell>& out) {
                          out.assign({t.branch, t.code, t.name});
                      });
            insertAll(*this, "TABEVEND", schema::kPeriodColumns, set.periods,
                      [](const ValidityPeriod& p, std::vector<SqlCell>& out) {
                          out.assign({p.branch, p.table, p.start, p.end});
                      });
            insertAll(*this, "PRODUTO", schema::kProductColumns, set.products,
                      [](const Product& p, std::vector<SqlCell>& out) {
                          out.assign({p.code, p.treeCode, p.name});
                      });
            insertAll(*this, "PRODFILI", schema::kAssortmentColumns, set.assortment,
                      [](const AssortmentRow& a, std::vector<SqlCell>& out) {
                          out.assign({a.branch, a.product});
                      });
            insertAll(*this, "TIPOCONS", schema::kConsumerTypeColumns, set.consumerTypes,
                      [](const ConsumerType& c, std::vector<SqlCell>& out) {
                          out.assign({c.code, c.name});
                      });
            insertAll(*this, "TIPOCONSFILI", schema::kConsumerTypeBranchColumns,
                      set.consumerTypeBranches,
                      [](const ConsumerTypeBranch& l, std::vector<SqlCell>& out) {
                          out.assign({l.branch, l.consumerType});
                      });
            insertAll(*this, "ITEMPREC", schema::kBasePriceColumns, set.basePrices,
                      [](const BasePrice& p, std::vector<SqlCell>& out) {
                          out.assign({p.branch, p.table, p.periodStart, p.product, p.price});
                      });
            std::string date;  // the cell of the row being written
            insertAll(*this, "FERIADO", schema::kHolidayColumns, set.holidays,
                      [&](const Holiday& h, std::vector<SqlCell>& out) {
                          date = h.date.iso();
                          out.assign({h.branch, date, h.name});
                      });
            removed = removeUnbackedRules();
            logEverything();
        },
        WriteScope::Exclusive);
    return removed;
}

long RuleStore::removeUnbackedRules() {
    // Copied into the history first, as removed by the store's caller: a rule the
    // reference data no longer backs leaves a trace, as one removed from the screen does.
    const std::string where = " FROM PRECDIF WHERE" + std::string(schema::kUnbackedRule);
    execute(schema::historyInsert({.before = "PRECDIF",
                                   .after = "",
                                   .when = "{s1}",
                                   .user = "{t2}",
                                   .station = "{t3}"}) +
                where,
            {operationTimestamp(), caller().user, caller().station});
    return execute("DELETE" + where, {});
}

std::vector<Branch> RuleStore::branches(const std::optional<std::string>& code) {
    std::vector<Branch> out;
    auto row = [&](const SqlRow& r) {
        out.push_back({text(r, 0), text(r, 1), text(r, 2), text(r, 3), text(r, 4), text(r, 5),
                       text(r, 6), text(r, 7)});
    };
    // One branch by its key, every branch in key order: two statements, as one written
    // for both ("{t1} IS NULL OR ...") is planned before the code is known and reads the
    // whole table for every price.
    const std::string select = "SELECT " + std::string(schema::kBranchColumns) + " FROM FILIAL";
    if (code) {
        query(select + " WHERE CDFILIAL = {t1}", {code}, row);
    } else {
        query(select + " ORDER BY CDFILIAL", {}, row);
    }
    return out;
}

std::vector<PriceTable> RuleStore::priceTables(const std::string& branch) {
    std::vector<PriceTable> out;
    query("SELECT CDFILIAL, CDTABEPREC, NMTABEPREC FROM TABEPREC WHERE CDFILIAL = {t1}"
          " ORDER BY CDTABEPREC",
          {branch},
          [&](const SqlRow& r) { out.push_back({text(r, 0), text(r, 1), text(r, 2)}); });
    return out;
}

std::vector<ValidityPeriod> RuleStore::periods(const std::string& branch,
                                               const std::string& table,
                                               const std::optional<wire::Date>& start) {
    std::vector<ValidityPeriod> out;
    auto row = [&](const SqlRow& r) {
        out.push_back({text(r, 0), text(r, 1), text(r, 2), text(r, 3)});
    };
    // One period is looked up by its key, all of them along the key's start: two
    // statements, as one written for both ("{d3} IS NULL OR ...") is planned before the
    // date is known.
    constexpr std::string_view kSelect =
        "SELECT CDFILIAL, CDTABEPREC, {date:DTINIVGPREC}, {date:DTFINVGPREC} FROM TABEVEND"
        " WHERE CDFILIAL = {t1} AND CDTABEPREC = {t2}";
    if (start) {
        query(std::string(kSelect) + " AND DTINIVGPREC = {d3}", {branch, table, start->iso()},
              row);
    } else {
        query(std::string(kSelect) + " ORDER BY DTINIVGPREC", {branch, table}, row);
    }
    return out;
}

bool RuleStore::consumerTypeExists(const std::string& code) {
    bool found = false;
    query("SELECT 1 FROM TIPOCONS WHERE CDTIPOCONS = {t1}", {code},
          [&](const SqlRow&) { found = true; });
    return found;
}

std::vector<ProductRef> RuleStore::branchProducts(const std::string& branch) {
    // Ordered by the assortment's own key (the same code): its index gives that order,
    // where ordering by the product's column would sort every row again.
    return productRefs(*this,
                       "SELECT P.CDPRODUTO, P.CDARVPROD FROM PRODFILI F JOIN PRODUTO P"
                       " ON P.CDPRODUTO = F.CDPRODUTO WHERE F.CDFILIAL = {t1}"
                       " ORDER BY F.CDPRODUTO",
                       {branch});
}

std::vector<ProductRef> RuleStore::branchProductsAmong(const std::string& branch,
                                                       const std::vector<std::string>& codes) {
    // The list goes in as one parameter; the assortment's key is searched once per listed
    // code.
    return productRefs(*this,
                       "SELECT P.CDPRODUTO, P.CDARVPROD FROM PRODFILI F JOIN PRODUTO P"
                       " ON P.CDPRODUTO = F.CDPRODUTO WHERE F.CDFILIAL = {t1}"
                       " AND F.CDPRODUTO IN ({list:2}) ORDER BY F.CDPRODUTO",
                       {branch, listParam(codes)});
}

void RuleStore::forEachRule(const std::optional<std::string>& branch,
                            const std::optional<std::string>& table,
                            const std::function<void(const RuleRow&)>& fn) {
    // One row object for the whole read: its texts keep their buffers from row to row.
    RuleRow row;
    query("SELECT " + std::string(schema::kRuleSelect) +
              " FROM PRECDIF WHERE ({t1} IS NULL OR CDFILIAL = {t1})"
              " AND ({t2} IS NULL OR CDTABEPREC = {t2}) ORDER BY " + std::string(schema::kRuleKey),
          {branch, table},
          [&](const SqlRow& r) {
              readRuleRow(r, 0, row);
              fn(static_cast<const RuleRow&>(row));
          },
          SqlRows::Many);
}

std::vector<RuleRow> RuleStore::rules(const std::optional<std::string>& branch,
                                      const std::optional<std::string>& table) {
    std::vector<RuleRow> out;
    forEachRule(branch, table, [&](const RuleRow& row) { out.push_back(row); });
    return out;
}

long RuleStore::countRules() {
    long count = 0;
    query("SELECT COUNT(*) FROM PRECDIF", {},
          [&](const SqlRow& r) { count = static_cast<long>(r.integer(0)); });
    return count;
}

namespace {

// Whether text is "YYYY-MM-DD" of date, read without checking the calendar (date is one).
bool names(std::string_view text, const wire::Date& date) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return false;
    }
    auto number = [&](std::size_t from, std::size_t to) {
        int value = 0;
        for (std::size_t i = from; i < to; ++i) {
            const int digit = text[i] - '0';
            if (digit < 0 || digit > 9) {
                return -1;
            }
            value = value * 10 + digit;
        }
        return value;
    };
    return number(0, 4) == date.year && number(5, 7) == date.month && number(8, 10) == date.day;
}

// The stored date into `into`. The rows of a long read are reused and their dates repeat
// from row to row: a text naming the valid date `into` already holds is not read again.
void readDate(const SqlRow& r, int column, wire::Date& into) {
    const std::string_view t = r.text(column);
    if (into.valid() && names(t, into)) {
        return;
    }
    const auto d = wire::Date::fromIso(t);
    if (!d) {
        throw std::runtime_error("Data inválida no banco de dados: " + std::string(t));
    }
    into = *d;
}

}  // namespace

void readRuleRow(const SqlRow& r, int first, RuleRow& row) {
    row.branch.assign(r.text(first));
    row.table.assign(r.text(first + 1));
    readDate(r, first + 2, row.periodStart);
    row.product.assign(r.text(first + 3));
    readRuleCells(r, first + 4, row);
    row.updatedAt.assign(r.text(first + 14));
}

void readRuleCells(const SqlRow& r, int first, RuleRow& row) {
    const std::string_view day = r.text(first);
    row.day = day.empty() ? ' ' : day[0];
    row.consumerType.assign(r.text(first + 1));
    row.timeStart.assign(r.text(first + 2));
    row.timeEnd.assign(r.text(first + 3));
    readDate(r, first + 4, row.validFrom);
    readDate(r, first + 5, row.validTo);
    row.adjustment = readColumnValue<Adjustment>(r, first + 6, "IDDESCACRE");
    row.amountKind = readColumnValue<AmountKind>(r, first + 7, "IDVALPERC");
    row.amount = r.number(first + 8);
    row.display = readColumnValue<Display>(r, first + 9, "IDVISUALIZA");
}

}  // namespace server
