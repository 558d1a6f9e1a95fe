#pragma once
// The tables of the server's database, written once for both backends.

#include <string_view>
#include <vector>

namespace server::schema {

/// CREATE TABLE IF NOT EXISTS statements of schema version 1, valid in SQLite and
/// PostgreSQL alike (dates are DATE columns: ISO text in SQLite).
const std::vector<std::string_view>& version1();

/// The ten key columns and the four value columns of PRECDIF, in table order, without
/// DTULTATU.
inline constexpr std::string_view kRuleColumns =
    "CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, IDDIA, CDTIPOCONS, HRINI, HRFIN, "
    "DTINIVALID, DTFINVALID, IDDESCACRE, IDVALPERC, VRPRECDIF, IDVISUALIZA";
inline constexpr std::string_view kRuleKey =
    "CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, IDDIA, CDTIPOCONS, HRINI, HRFIN, "
    "DTINIVALID, DTFINVALID";
/// The reference tables, children first, the order they are emptied in.
inline constexpr std::string_view kReferenceTables[] = {"TABEVEND", "TABEPREC", "PRODFILI",
                                                        "PRODUTO",  "TIPOCONS", "FILIAL"};

}  // namespace server::schema
