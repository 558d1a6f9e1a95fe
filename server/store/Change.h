#pragma once
// One row of the change log (ALTPRECO) before it has its number.

#include <array>
#include <compare>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace server {

/// What a change touched: IDALTERACAO.
enum class ChangeKind : char {
    Rules = 'R',       ///< PRECDIF
    BasePrices = 'B',  ///< ITEMPREC
    Holidays = 'F',    ///< FERIADO
    Periods = 'V',     ///< TABEVEND
    Products = 'P',    ///< PRODUTO or PRODFILI; TIPOCONS as every branch's every product
};

/// Every kind of change.
constexpr std::array<ChangeKind, 5> kChangeKinds = {ChangeKind::Rules, ChangeKind::BasePrices,
                                                    ChangeKind::Holidays, ChangeKind::Periods,
                                                    ChangeKind::Products};

/// Where a change took effect; an absent member means "every one".
struct Change {
    std::string branch;                      ///< CDFILIAL, or "T" for every branch
    std::optional<std::string> table;        ///< CDTABEPREC
    std::optional<std::string> periodStart;  ///< DTINIVGPREC as "YYYY-MM-DD"
    std::optional<std::string> product;      ///< CDPRODUTO
    ChangeKind kind = ChangeKind::Rules;

    /// A change of the whole branch ("T": of every branch) of one kind.
    static Change ofBranch(std::string branch, ChangeKind kind) {
        return {std::move(branch), std::nullopt, std::nullopt, std::nullopt, kind};
    }
    /// A change of one product (none: every product) in a table's period.
    static Change ofPeriod(std::string branch, std::string table, std::string periodStart,
                           std::optional<std::string> product, ChangeKind kind) {
        return {std::move(branch), std::move(table), std::move(periodStart), std::move(product),
                kind};
    }

    auto operator<=>(const Change&) const = default;
};

/// What one commit wrote into the change log: the numbers first to last (consecutive)
/// and the branches the rows name (CDFILIAL, "T" included), each once.
struct CommittedChanges {
    long long first = 0;
    long long last = 0;
    std::vector<std::string> branches;
    /// The rows, or, for a commit of more than kListedChanges rows, one row of every kind
    /// naming every branch ("everything may have changed").
    std::vector<Change> changes;
};

/// How many rows of one commit CommittedChanges lists one by one.
constexpr std::size_t kListedChanges = 256;

}  // namespace server
