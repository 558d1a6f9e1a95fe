#include "server/store/ChangeLogQueries.h"

namespace server {

namespace {

std::optional<std::string> optionalText(const SqlRow& r, int column) {
    return r.isNull(column) ? std::nullopt : std::optional<std::string>(r.text(column));
}

}  // namespace

ChangeSpan ChangeLogQueries::span() {
    ChangeSpan out;
    // Both ends of the key, each read from its index: one subquery each, as SQLite reads
    // MIN and MAX together in one aggregate by walking every row of the log.
    store_.query("SELECT COALESCE((SELECT MIN(NRALTERACAO) FROM ALTPRECO), 0),"
                 " COALESCE((SELECT MAX(NRALTERACAO) FROM ALTPRECO), 0)",
                 {}, [&](const SqlRow& r) {
                     out.oldest = r.integer(0);
                     out.highest = r.integer(1);
                 });
    return out;
}

std::vector<LoggedChange> ChangeLogQueries::changesFor(const std::string& branch,
                                                       const std::string& table, long long since,
                                                       long limit) {
    std::vector<LoggedChange> out;
    store_.query("SELECT NRALTERACAO, IDALTERACAO, {date:DTINIVGPREC}, CDPRODUTO FROM ALTPRECO"
                 " WHERE NRALTERACAO > {i1} AND CDFILIAL IN ({t2}, 'T')"
                 " AND (CDTABEPREC IS NULL OR CDTABEPREC = {t3})"
                 " ORDER BY NRALTERACAO LIMIT {i4}",
                 {std::to_string(since), branch, table, std::to_string(limit)},
                 [&](const SqlRow& r) {
                     const std::string_view kind = r.text(1);
                     out.push_back({r.integer(0), kind.empty() ? ' ' : kind[0],
                                    optionalText(r, 2), optionalText(r, 3)});
                 });
    return out;
}

std::vector<std::pair<long long, Change>> ChangeLogQueries::since(long long since, long limit) {
    std::vector<std::pair<long long, Change>> out;
    store_.query("SELECT NRALTERACAO, CDFILIAL, CDTABEPREC, {date:DTINIVGPREC}, CDPRODUTO,"
                 " IDALTERACAO FROM ALTPRECO WHERE NRALTERACAO > {i1}"
                 " ORDER BY NRALTERACAO LIMIT {i2}",
                 {std::to_string(since), std::to_string(limit)}, [&](const SqlRow& r) {
                     const std::string_view kind = r.text(5);
                     out.emplace_back(r.integer(0),
                                      Change{std::string(r.text(1)), optionalText(r, 2),
                                             optionalText(r, 3), optionalText(r, 4),
                                             static_cast<ChangeKind>(kind.empty() ? ' ' : kind[0])});
                 }, SqlRows::Many);
    return out;
}

std::vector<std::pair<std::string, long long>> ChangeLogQueries::branchesSince(long long since) {
    std::vector<std::pair<std::string, long long>> out;
    store_.query("SELECT CDFILIAL, MAX(NRALTERACAO) FROM ALTPRECO WHERE NRALTERACAO > {i1}"
                 " GROUP BY CDFILIAL",
                 {std::to_string(since)},
                 [&](const SqlRow& r) { out.emplace_back(std::string(r.text(0)), r.integer(1)); });
    return out;
}

long ChangeLogQueries::prune(const std::string& before, long batch) {
    // A short transaction of its own, which takes no lock of the change log: the writers
    // number their changes meanwhile. The newest row stays, so the highest number is
    // never lost.
    long removed = 0;
    store_.writeTransaction([&] {
        removed = store_.execute(
            "DELETE FROM ALTPRECO WHERE NRALTERACAO IN (SELECT NRALTERACAO FROM ALTPRECO"
            " WHERE DTALTERACAO < {s1} AND NRALTERACAO < (SELECT MAX(NRALTERACAO) FROM ALTPRECO)"
            " ORDER BY NRALTERACAO LIMIT {i2})",
            {before, std::to_string(batch)});
    });
    return removed;
}

}  // namespace server
