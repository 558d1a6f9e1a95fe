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

// The branch's assortment in force for alias A: sold by the branch and a stored product.
constexpr std::string_view kSold =
    " JOIN PRODFILI F ON F.CDFILIAL = A.CDFILIAL AND F.CDPRODUTO = A.CDPRODUTO"
    " JOIN PRODUTO P ON P.CDPRODUTO = A.CDPRODUTO";

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
    store_.query("SELECT {date:A.DTINIVGPREC}, A.CDPRODUTO, A.VRPRECO FROM ITEMPREC A" +
                     std::string(kSold) + " WHERE A.CDFILIAL = {t1} AND A.CDTABEPREC = {t2}" +
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
    store_.query("SELECT " + select + " FROM PRECDIF A" + std::string(kSold) +
                     " WHERE A.CDFILIAL = {t1} AND A.CDTABEPREC = {t2}" + where +
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
