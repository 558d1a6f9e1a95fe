#include "server/store/TillQueries.h"

#include "server/store/Schema.h"

namespace server {

namespace {

// The conditions on alias A's CDPRODUTO for the range, its bounds appended to params: an
// open end writes no condition, so that the key is used as far as it can be.
std::string rangeSql(std::string_view alias, const ProductRange& range,
                     std::vector<SqlParam>& params) {
    std::string out;
    for (const auto& [bound, op] : {std::pair{&range.first, " >= "}, std::pair{&range.last, " <= "}}) {
        if (!bound->empty()) {
            params.emplace_back(*bound);
            out += " AND " + std::string(alias) + ".CDPRODUTO" + op + "{t" +
                   std::to_string(params.size()) + "}";
        }
    }
    return out;
}

// The rows of `table` (ITEMPREC or PRECDIF, keyed by branch, price table, period, product)
// of branch {t1} and price table {t2}, as alias A, of products the branch sells and that
// are stored. The rows are read period by period along the key, the periods found by
// stepping from one to the next along the key too: read by product alone, the key helps
// nothing, and SQLite would look every product of the range up in every row of the table.
std::string soldRowsOf(std::string_view table) {
    const std::string t(table);
    return "WITH RECURSIVE D(DT) AS (SELECT MIN(DTINIVGPREC) FROM " + t +
           " WHERE CDFILIAL = {t1} AND CDTABEPREC = {t2} UNION ALL SELECT (SELECT"
           " MIN(X.DTINIVGPREC) FROM " + t + " X WHERE X.CDFILIAL = {t1} AND X.CDTABEPREC ="
           " {t2} AND X.DTINIVGPREC > D.DT) FROM D WHERE D.DT IS NOT NULL) "
           // The joins are written in the order to read them (SQLite keeps that order).
           "SELECT {cols} FROM " + t + " A CROSS JOIN PRODFILI F CROSS JOIN PRODUTO P"
           " WHERE A.CDFILIAL = {t1} AND A.CDTABEPREC = {t2}"
           " AND A.DTINIVGPREC IN (SELECT DT FROM D)"
           " AND F.CDFILIAL = A.CDFILIAL AND F.CDPRODUTO = A.CDPRODUTO"
           " AND P.CDPRODUTO = A.CDPRODUTO";
}

// The statement with its columns put in place of {cols}.
std::string withColumns(std::string sql, std::string_view columns) {
    sql.replace(sql.find("{cols}"), 6, columns);
    return sql;
}

}  // namespace

std::vector<Product> TillQueries::products(const std::string& branch, const ProductRange& range,
                                           long limit) {
    std::vector<SqlParam> params{branch};
    const std::string where = rangeSql("F", range, params);
    params.emplace_back(std::to_string(limit));
    std::vector<Product> out;
    store_.query("SELECT P.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO FROM PRODFILI F"
                 " JOIN PRODUTO P ON P.CDPRODUTO = F.CDPRODUTO WHERE F.CDFILIAL = {t1}" +
                     where + " ORDER BY F.CDPRODUTO LIMIT {i" + std::to_string(params.size()) +
                     "}",
                 params,
                 [&](const SqlRow& r) {
                     out.push_back({std::string(r.text(0)), std::string(r.text(1)),
                                    std::string(r.text(2))});
                 },
                 SqlRows::Many);
    return out;
}

void TillQueries::basePrices(
    const std::string& branch, const std::string& table, const ProductRange& range,
    const std::function<void(std::string_view, std::string_view, double)>& fn) {
    std::vector<SqlParam> params{branch, table};
    const std::string where = rangeSql("A", range, params);
    store_.query(withColumns(soldRowsOf("ITEMPREC"), "{date:A.DTINIVGPREC}, A.CDPRODUTO, A.VRPRECO") +
                     where + " ORDER BY A.CDPRODUTO, A.DTINIVGPREC",
                 params, [&](const SqlRow& r) { fn(r.text(0), r.text(1), r.number(2)); },
                 SqlRows::Many);
}

void TillQueries::rules(const std::string& branch, const std::string& table,
                        const ProductRange& range, const std::function<void(const RuleRow&)>& fn) {
    std::vector<SqlParam> params{branch, table};
    const std::string where = rangeSql("A", range, params);
    // Every column read from A: the rule select names its columns without a table.
    std::string select;
    for (std::string_view rest = schema::kRuleSelect; !rest.empty();) {
        const std::size_t comma = std::min(rest.find(", "), rest.size());
        std::string column(rest.substr(0, comma));
        const std::size_t colon = column.find(':');
        column.insert(colon == std::string::npos ? 0 : colon + 1, "A.");
        select += (select.empty() ? "" : ", ") + column;
        rest.remove_prefix(std::min(comma + 2, rest.size()));
    }
    RuleRow row;
    store_.query(withColumns(soldRowsOf("PRECDIF"), select) + where +
                     " ORDER BY A.CDPRODUTO, A.DTINIVGPREC, A.IDDIA, A.CDTIPOCONS, A.HRINI,"
                     " A.HRFIN, A.DTINIVALID, A.DTFINVALID",
                 params,
                 [&](const SqlRow& r) {
                     readRuleRow(r, 0, row);
                     fn(static_cast<const RuleRow&>(row));
                 },
                 SqlRows::Many);
}

std::vector<ConsumerType> TillQueries::consumerTypes() {
    std::vector<ConsumerType> out;
    store_.query("SELECT CDTIPOCONS, NMTIPOCONS FROM TIPOCONS ORDER BY CDTIPOCONS", {},
                 [&](const SqlRow& r) {
                     out.push_back({std::string(r.text(0)), std::string(r.text(1))});
                 },
                 SqlRows::Many);
    return out;
}

}  // namespace server
