#include "server/store/PricingQueries.h"

#include <algorithm>
#include <set>
#include <stdexcept>
#include <unordered_map>
#include <utility>

#include "server/store/RuleNotStored.h"
#include "server/store/Schema.h"
#include "server/store/Timestamps.h"

namespace server {

namespace {

wire::Date dateOf(std::string_view text) {
    const auto date = wire::Date::fromIso(text);
    if (!date) {
        throw std::runtime_error("Data inválida no banco de dados: " + std::string(text));
    }
    return *date;
}

std::vector<SqlParam> keyParams(const RuleRow& k) {
    return {k.branch,    k.table,       k.periodStart.iso(), k.product,        std::string(1, k.day),
            k.consumerType, k.timeStart, k.timeEnd,          k.validFrom.iso(), k.validTo.iso()};
}

constexpr std::string_view kKeyIs =
    " WHERE CDFILIAL = {t1} AND CDTABEPREC = {t2} AND DTINIVGPREC = {d3} AND CDPRODUTO = {t4}"
    " AND IDDIA = {t5} AND CDTIPOCONS = {t6} AND HRINI = {t7} AND HRFIN = {t8}"
    " AND DTINIVALID = {d9} AND DTFINVALID = {d10}";

// The filter's conditions on PRECDIF R and their parameters. Only the conditions asked
// for are written: "? IS NULL OR COLUMN = ?" would keep the database from using the key,
// and a branch's listing would then read and sort every rule it has.
struct FilterSql {
    std::string where;
    std::vector<SqlParam> params;

    void add(std::string_view condition, SqlParam value) {
        params.push_back(std::move(value));
        const std::string n = std::to_string(params.size());
        std::string text(condition);
        for (auto at = text.find('#'); at != std::string::npos; at = text.find('#')) {
            text.replace(at, 1, n);
        }
        where += text;
    }
};

// Appends the filter's conditions, the first one after " WHERE".
void addFilter(FilterSql& sql, const RuleFilter& f) {
    sql.where += " WHERE";
    sql.add(" R.CDFILIAL = {t#}", f.branch);
    sql.add(" AND R.CDTABEPREC = {t#}", f.table);
    if (f.periodStart) {
        sql.add(" AND R.DTINIVGPREC = {d#}", f.periodStart->iso());
    }
    if (!f.firstProduct.empty()) {
        sql.add(" AND R.CDPRODUTO >= {t#}", f.firstProduct);
    }
    if (!f.lastProduct.empty()) {
        sql.add(" AND R.CDPRODUTO <= {t#}", f.lastProduct);
    }
    if (!f.consumerType.empty()) {
        sql.add(" AND R.CDTIPOCONS = {t#}", f.consumerType);
    }
    if (!f.day.empty()) {
        sql.add(" AND R.IDDIA = {t#}", f.day);
    }
    if (f.validOn) {
        sql.add(" AND R.DTINIVALID <= {d#} AND R.DTFINVALID >= {d#}", f.validOn->iso());
    }
}

// A listing of every period reads each period's rules along the key, which holds them by
// product within the period, and merges them: sorting the rules of every period by product
// instead would sort them all for every page. Past this many periods the database sorts.
constexpr std::size_t kMergedPeriods = 32;

}  // namespace

std::vector<RuleFilter> PricingQueries::filterByPeriod(const RuleFilter& filter) {
    if (filter.periodStart) {
        return {filter};
    }
    // The periods the table's rules are in, each the first one after the one before: one
    // seek along the key each.
    std::vector<wire::Date> periods;
    for (wire::Date after{1, 1, 1}; periods.size() <= kMergedPeriods;) {
        std::optional<wire::Date> next;
        store_.query("SELECT {date:MIN(DTINIVGPREC)} FROM PRECDIF WHERE CDFILIAL = {t1}"
                     " AND CDTABEPREC = {t2} AND DTINIVGPREC > {d3}",
                     {filter.branch, filter.table, after.iso()}, [&](const SqlRow& r) {
                         if (!r.isNull(0)) {
                             next = dateOf(r.text(0));
                         }
                     });
        if (!next) {
            break;
        }
        periods.push_back(*next);
        after = *next;
    }
    if (periods.size() > kMergedPeriods) {
        return {filter};
    }
    std::vector<RuleFilter> arms;
    for (const wire::Date& period : periods) {
        arms.push_back(filter);
        arms.back().periodStart = period;
    }
    return arms;
}

std::optional<PricedProduct> PricingQueries::product(const std::string& branch,
                                                     const std::string& table,
                                                     const wire::Date& periodStart,
                                                     const std::string& code) {
    std::optional<PricedProduct> found;
    store_.query(
        "SELECT P.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO, I.VRPRECO FROM PRODFILI F"
        " JOIN PRODUTO P ON P.CDPRODUTO = F.CDPRODUTO"
        " LEFT JOIN ITEMPREC I ON I.CDFILIAL = F.CDFILIAL AND I.CDTABEPREC = {t2}"
        " AND I.DTINIVGPREC = {d3} AND I.CDPRODUTO = F.CDPRODUTO"
        " WHERE F.CDFILIAL = {t1} AND F.CDPRODUTO = {t4}",
        {branch, table, periodStart.iso(), code}, [&](const SqlRow& r) {
            found = PricedProduct{std::string(r.text(0)), std::string(r.text(1)),
                                  std::string(r.text(2)), r.optionalNumber(3)};
        });
    return found;
}

void PricingQueries::forEachPricedProduct(
    const std::string& branch, const std::string& table, const wire::Date& periodStart,
    const std::function<void(const PricedProduct&, std::span<const RuleRow>)>& fn) {
    // Three reads along their tables' keys instead of one join, which would look every
    // product's price and rules up one by one: the assortment, the period's base prices,
    // then the period's rules, matched to the products by code as they come.
    std::vector<PricedProduct> products;
    std::unordered_map<std::string_view, std::size_t> byCode;
    store_.query(
        "SELECT P.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO FROM PRODFILI F"
        " JOIN PRODUTO P ON P.CDPRODUTO = F.CDPRODUTO WHERE F.CDFILIAL = {t1}"
        " ORDER BY F.CDPRODUTO",
        {branch},
        [&](const SqlRow& r) {
            products.push_back({std::string(r.text(0)), std::string(r.text(1)),
                                std::string(r.text(2)), std::nullopt});
        },
        SqlRows::Many);
    byCode.reserve(products.size());
    for (std::size_t i = 0; i < products.size(); ++i) {
        byCode.emplace(products[i].code, i);
    }
    // Rows come in product order: the product after the last one found is tried before
    // the index.
    std::size_t next = 0;
    auto indexOf = [&](std::string_view code) -> std::optional<std::size_t> {
        for (const std::size_t at : {next, next + 1}) {
            if (at < products.size() && products[at].code == code) {
                next = at;
                return at;
            }
        }
        const auto it = byCode.find(code);
        if (it == byCode.end()) {
            return std::nullopt;
        }
        next = it->second;
        return it->second;
    };
    store_.query(
        "SELECT CDPRODUTO, VRPRECO FROM ITEMPREC WHERE CDFILIAL = {t1} AND CDTABEPREC = {t2}"
        " AND DTINIVGPREC = {d3} ORDER BY CDPRODUTO",
        {branch, table, periodStart.iso()},
        [&](const SqlRow& r) {
            if (const auto at = indexOf(r.text(0))) {
                products[*at].base = r.number(1);
            }
        },
        SqlRows::Many);
    next = 0;

    // The rules come in product order, as the products do (the same column, ordered the
    // same way): each product is handed on once the rules have passed it. Only the cells
    // after the product are read: branch, table and period are those asked for, and the
    // rows keep their texts' buffers from product to product.
    std::vector<RuleRow> rules;
    std::size_t used = 0;  // rules of the current product, the first rows of the vector
    std::size_t current = 0;
    auto handOnUpTo = [&](std::size_t end) {
        for (; current < end; ++current) {
            fn(products[current], std::span<const RuleRow>(rules.data(), used));
            used = 0;
        }
    };
    store_.query("SELECT CDPRODUTO, " + std::string(schema::kRuleCells) +
                     " FROM PRECDIF WHERE CDFILIAL = {t1} AND CDTABEPREC = {t2}"
                     " AND DTINIVGPREC = {d3} ORDER BY " + std::string(schema::kRuleKey),
                 {branch, table, periodStart.iso()},
                 [&](const SqlRow& r) {
                     const auto at = indexOf(r.text(0));
                     if (!at) {
                         return;  // the product is no longer sold by the branch
                     }
                     if (*at < current) {
                         throw std::runtime_error(
                             "As regras do livro de preços não vieram na ordem dos produtos.");
                     }
                     handOnUpTo(*at);
                     if (rules.size() == used) {
                         RuleRow& added = rules.emplace_back();
                         added.branch = branch;
                         added.table = table;
                         added.periodStart = periodStart;
                     }
                     RuleRow& row = rules[used++];
                     row.product = products[*at].code;
                     readRuleCells(r, 1, row);
                 },
                 SqlRows::Many);
    handOnUpTo(products.size());
}

std::vector<RuleRow> PricingQueries::productRules(const std::string& branch,
                                                  const std::string& table,
                                                  const wire::Date& periodStart,
                                                  const std::string& code) {
    std::vector<RuleRow> rows;
    forEachRuleOf(branch, table, periodStart, {code},
                  [&](const RuleRow& row) { rows.push_back(row); });
    return rows;
}

void PricingQueries::forEachRuleOf(const std::string& branch, const std::string& table,
                                   const wire::Date& periodStart,
                                   const std::vector<std::string>& products,
                                   const std::function<void(const RuleRow&)>& fn) {
    RuleRow row;
    // One product is looked up by its key; many are picked from the period's rows. They
    // are two statements: one written for both ("{t4} IS NULL OR CDPRODUTO = {t4}") is
    // planned before the product is known, and reads every rule of the period.
    const bool one = products.size() == 1;
    std::vector<SqlParam> params{branch, table, periodStart.iso()};
    if (one) {
        params.emplace_back(products[0]);
    }
    store_.query("SELECT " + std::string(schema::kRuleSelect) +
                     " FROM PRECDIF WHERE CDFILIAL = {t1} AND CDTABEPREC = {t2}"
                     " AND DTINIVGPREC = {d3}" +
                     (one ? " AND CDPRODUTO = {t4}" : "") + " ORDER BY " +
                     std::string(schema::kRuleKey),
                 params,
                 [&](const SqlRow& r) {
                     readRuleRow(r, 0, row);
                     if (one || std::binary_search(products.begin(), products.end(), row.product)) {
                         fn(static_cast<const RuleRow&>(row));
                     }
                 },
                 one ? SqlRows::Few : SqlRows::Many);
}

std::vector<Holiday> PricingQueries::holidays(const std::optional<std::string>& branch,
                                              const wire::Date& from, const wire::Date& to) {
    std::vector<Holiday> out;
    auto row = [&](const SqlRow& r) {
        out.push_back({std::string(r.text(0)), dateOf(r.text(1)), std::string(r.text(2))});
    };
    // A branch's holidays are read along the key (branch, date) for it and for "T": two
    // statements, as one written for both ("{t1} IS NULL OR ...") is planned before the
    // branch is known and reads the whole table on every price.
    if (branch) {
        store_.query("SELECT CDFILIAL, {date:DTFERIADO}, NMFERIADO FROM FERIADO"
                     " WHERE CDFILIAL IN ({t1}, 'T') AND DTFERIADO >= {d2} AND DTFERIADO <= {d3}"
                     " ORDER BY DTFERIADO, CDFILIAL",
                     {branch, from.iso(), to.iso()}, row);
    } else {
        store_.query("SELECT CDFILIAL, {date:DTFERIADO}, NMFERIADO FROM FERIADO"
                     " WHERE DTFERIADO >= {d1} AND DTFERIADO <= {d2} ORDER BY DTFERIADO, CDFILIAL",
                     {from.iso(), to.iso()}, row);
    }
    return out;
}

long PricingQueries::putHolidays(const std::vector<Holiday>& holidays) {
    long added = 0;
    store_.writeTransaction([&] {
        for (const Holiday& h : holidays) {
            const long renamed = store_.execute(
                "UPDATE FERIADO SET NMFERIADO = {t3} WHERE CDFILIAL = {t1} AND DTFERIADO = {d2}",
                {h.branch, h.date.iso(), h.name});
            if (renamed == 0) {
                store_.execute("INSERT INTO FERIADO (CDFILIAL, DTFERIADO, NMFERIADO)"
                               " VALUES ({t1}, {d2}, {t3})",
                               {h.branch, h.date.iso(), h.name});
                ++added;
            }
            store_.logChange(Change::ofBranch(h.branch, ChangeKind::Holidays));
        }
    });
    return added;
}

bool PricingQueries::removeHoliday(const std::string& branch, const wire::Date& date) {
    long removed = 0;
    store_.writeTransaction([&] {
        removed = store_.execute("DELETE FROM FERIADO WHERE CDFILIAL = {t1} AND DTFERIADO = {d2}",
                                 {branch, date.iso()});
        if (removed > 0) {
            store_.logChange(Change::ofBranch(branch, ChangeKind::Holidays));
        }
    });
    return removed > 0;
}

long PricingQueries::listRules(
    const RuleFilter& filter, long offset, long limit,
    const std::function<void(const RuleRow&, std::string_view, std::string_view)>& fn) {
    const std::vector<RuleFilter> arms = filterByPeriod(filter);
    if (arms.empty()) {
        return 0;
    }
    long total = 0;
    for (const RuleFilter& arm : arms) {
        FilterSql sql;
        addFilter(sql, arm);
        store_.query("SELECT COUNT(*) FROM PRECDIF R" + sql.where, sql.params,
                     [&](const SqlRow& r) { total += static_cast<long>(r.integer(0)); });
    }
    constexpr std::string_view kOrder =
        "CDPRODUTO, DTINIVGPREC, IDDIA, CDTIPOCONS, HRINI, HRFIN, DTINIVALID, DTFINVALID";
    FilterSql sql;
    for (const RuleFilter& arm : arms) {
        sql.where += sql.where.empty() ? "SELECT R.* FROM PRECDIF R" : " UNION ALL SELECT R.* FROM PRECDIF R";
        addFilter(sql, arm);
    }
    const std::string limitAt = std::to_string(sql.params.size() + 1);
    const std::string offsetAt = std::to_string(sql.params.size() + 2);
    sql.params.emplace_back(std::to_string(limit));
    sql.params.emplace_back(std::to_string(offset));
    RuleRow row;
    // The page is taken first; only its rows have their product's tree code and name
    // looked up.
    store_.query("SELECT " + std::string(schema::kRuleSelect) +
                     ", (SELECT P.CDARVPROD FROM PRODUTO P WHERE P.CDPRODUTO = R.CDPRODUTO),"
                     " (SELECT P.NMPRODUTO FROM PRODUTO P WHERE P.CDPRODUTO = R.CDPRODUTO)"
                     " FROM (" + sql.where + " ORDER BY " + std::string(kOrder) + " LIMIT {i" +
                     limitAt + "} OFFSET {i" + offsetAt + "}) R ORDER BY " + std::string(kOrder),
                 sql.params,
                 [&](const SqlRow& r) {
                     readRuleRow(r, 0, row);
                     fn(row, r.text(15), r.text(16));
                 },
                 SqlRows::Many);
    return total;
}

long PricingQueries::removeRules(const std::vector<RuleRow>& keys) {
    long removed = 0;
    std::set<std::pair<std::string, std::string>> tables;
    for (const RuleRow& key : keys) {
        tables.emplace(key.branch, key.table);
    }
    const std::string copy = schema::historyInsert({.before = "PRECDIF",
                                                    .after = "",
                                                    .when = "{s11}",
                                                    .user = "{t12}",
                                                    .station = "{t13}"}) +
                             " FROM PRECDIF" + std::string(kKeyIs);
    store_.writeTransaction([&] {
        for (const auto& [branch, table] : tables) {
            store_.lockPriceTable(branch, table);
        }
        // Taken once no other change of these tables can come between: the history's
        // order is the order the changes took effect in.
        const std::string at = operationTimestamp();
        for (const RuleRow& key : keys) {
            std::vector<SqlParam> params = keyParams(key);
            params.emplace_back(at);
            params.emplace_back(store_.caller().user);
            params.emplace_back(store_.caller().station);
            store_.execute(copy, params);
            params.resize(10);
            if (store_.execute("DELETE FROM PRECDIF" + std::string(kKeyIs), params) == 0) {
                throw RuleNotStored(key);
            }
            store_.logChange(Change::ofPeriod(key.branch, key.table, key.periodStart.iso(),
                                              key.product, ChangeKind::Rules));
            ++removed;
        }
    });
    return removed;
}

long PricingQueries::countHistory(const std::string& branch, const std::string& table,
                                  const std::string& product) {
    long count = 0;
    store_.query("SELECT COUNT(*) FROM PRECDIFHIST WHERE CDFILIAL = {t1} AND CDTABEPREC = {t2}"
                 " AND CDPRODUTO = {t3}",
                 {branch, table, product},
                 [&](const SqlRow& r) { count = static_cast<long>(r.integer(0)); });
    return count;
}

std::vector<HistoryRow> PricingQueries::history(const std::string& branch,
                                                const std::string& table,
                                                const std::string& product, long offset,
                                                long limit) {
    std::vector<HistoryRow> out;
    store_.query(
        "SELECT CDFILIAL, CDTABEPREC, {date:DTINIVGPREC}, CDPRODUTO, IDDIA, CDTIPOCONS, HRINI,"
        " HRFIN, {date:DTINIVALID}, {date:DTFINVALID}, IDDESCACRE_ANT, IDVALPERC_ANT,"
        " VRPRECDIF_ANT, IDVISUALIZA_ANT, {stamp:DTULTATU_ANT}, IDOPERACAO,"
        " {stamp:DTOPERACAO}, NMUSUARIO, NMESTACAO, IDDESCACRE, IDVALPERC, VRPRECDIF,"
        " IDVISUALIZA FROM PRECDIFHIST WHERE CDFILIAL = {t1} AND CDTABEPREC = {t2}"
        " AND CDPRODUTO = {t3} ORDER BY DTOPERACAO DESC, DTINIVGPREC, IDDIA, CDTIPOCONS,"
        " HRINI, HRFIN, DTINIVALID, DTFINVALID LIMIT {i4} OFFSET {i5}",
        {branch, table, product, std::to_string(limit), std::to_string(offset)},
        [&](const SqlRow& r) {
            HistoryRow h;
            readRuleRow(r, 0, h.key);
            const std::string_view op = r.text(15);
            h.operation = op.empty() ? 'S' : op[0];
            h.at.assign(r.text(16).substr(0, 19));
            h.user.assign(r.text(17));
            h.station.assign(r.text(18));
            if (!r.isNull(19)) {
                RuleRow after = h.key;
                after.adjustment = readColumnValue<Adjustment>(r, 19, "IDDESCACRE");
                after.amountKind = readColumnValue<AmountKind>(r, 20, "IDVALPERC");
                after.amount = r.number(21);
                after.display = readColumnValue<Display>(r, 22, "IDVISUALIZA");
                h.after = after;
            }
            out.push_back(std::move(h));
        });
    return out;
}

}  // namespace server
