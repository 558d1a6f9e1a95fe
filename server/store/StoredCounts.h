#pragma once
// How many rows each table of the server's database holds.

#include <array>
#include <cstddef>
#include <string>

namespace server {

/// Rows of every table, for `init` to say what it would replace.
struct StoredCounts {
    long branches = 0;       ///< FILIAL
    long priceTables = 0;    ///< TABEPREC
    long periods = 0;        ///< TABEVEND
    long products = 0;       ///< PRODUTO
    long assortment = 0;     ///< PRODFILI
    long consumerTypes = 0;  ///< TIPOCONS
    long consumerTypeBranches = 0;  ///< TIPOCONSFILI
    long rules = 0;          ///< PRECDIF
    long basePrices = 0;     ///< ITEMPREC
    long holidays = 0;       ///< FERIADO
    long history = 0;        ///< PRECDIFHIST

    /// The members in declaration order, as schema::kCountEveryTable reads them.
    static constexpr std::size_t kTables = 11;
    static StoredCounts fromColumns(const std::array<long, kTables>& n);
    bool empty() const;
    /// "3 filiais, 3 tabelas de preço, …, 4 regras gravadas e 2 alterações no histórico",
    /// every table named.
    std::string text() const;
};

}  // namespace server
