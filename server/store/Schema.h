#pragma once
// The tables of the server's database, written once for both backends.

#include <string>
#include <string_view>
#include <vector>

namespace server {

/// The schema version this build writes; init and the server's start upgrade older
/// databases to it. Version 2 added the base prices (ITEMPREC), the holidays (FERIADO)
/// and the rule history (PRECDIFHIST); version 3 the consumer types each branch uses
/// (TIPOCONSFILI); version 4 the change log (ALTPRECO).
inline constexpr int kSchemaVersion = 4;

}  // namespace server

namespace server::schema {

/// CREATE TABLE IF NOT EXISTS statements of schema version 1, valid in SQLite and
/// PostgreSQL alike (dates are DATE columns: ISO text in SQLite). Frozen: a database of
/// version 1 is exactly what these make.
const std::vector<std::string_view>& version1();

/// The statements that bring a database of version 1 to version 2: the base prices
/// (ITEMPREC), the holidays (FERIADO) and the rule history (PRECDIFHIST) with its index.
/// They create what is missing only, so they may run again.
const std::vector<std::string_view>& version2();

/// The statements that bring a database of version 2 to version 3: the consumer types
/// each branch uses (TIPOCONSFILI), as the stations' local databases hold them.
const std::vector<std::string_view>& version3();

/// The statements that bring a database of version 3 to version 4: the change log
/// (ALTPRECO), numbered in commit order. They create what is missing only.
const std::vector<std::string_view>& version4();

/// What brings a database of `version` (0 for an empty one) to the version this build
/// writes, in order; nothing for a database already there or newer. Every statement
/// only creates what is missing, so a repeated run changes nothing.
std::vector<std::string_view> upgradeFrom(int version);

/// The refusal of a database written by a newer build, in the user's words.
std::string newerVersionMessage(int version);

/// The ten key columns and the four value columns of PRECDIF, in table order, without
/// DTULTATU.
inline constexpr std::string_view kRuleColumns =
    "CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, IDDIA, CDTIPOCONS, HRINI, HRFIN, "
    "DTINIVALID, DTFINVALID, IDDESCACRE, IDVALPERC, VRPRECDIF, IDVISUALIZA";
inline constexpr std::string_view kRuleKey =
    "CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, IDDIA, CDTIPOCONS, HRINI, HRFIN, "
    "DTINIVALID, DTFINVALID";
/// The columns of a PRECDIF row as readRuleRow reads them, dates as ISO text.
inline constexpr std::string_view kRuleSelect =
    "CDFILIAL, CDTABEPREC, {date:DTINIVGPREC}, CDPRODUTO, IDDIA, CDTIPOCONS, HRINI, HRFIN, "
    "{date:DTINIVALID}, {date:DTFINVALID}, IDDESCACRE, IDVALPERC, VRPRECDIF, IDVISUALIZA, "
    "{stamp:DTULTATU}";
/// The cells of a PRECDIF row after its product, as readRuleCells reads them: columns 4
/// to 13 of kRuleSelect.
inline constexpr std::string_view kRuleCells =
    "IDDIA, CDTIPOCONS, HRINI, HRFIN, {date:DTINIVALID}, {date:DTFINVALID}, IDDESCACRE, "
    "IDVALPERC, VRPRECDIF, IDVISUALIZA";
/// Every column of PRECDIFHIST in table order: the rule's key, the operation (IDOPERACAO
/// `S` replaced, `E` removed; DTOPERACAO in UTC; who and where), the row before (the
/// _ANT columns, never null) and the row after (null when removed).
inline constexpr std::string_view kHistoryColumns =
    "CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, IDDIA, CDTIPOCONS, HRINI, HRFIN, "
    "DTINIVALID, DTFINVALID, IDOPERACAO, DTOPERACAO, NMUSUARIO, NMESTACAO, "
    "IDDESCACRE_ANT, IDVALPERC_ANT, VRPRECDIF_ANT, IDVISUALIZA_ANT, DTULTATU_ANT, "
    "IDDESCACRE, IDVALPERC, VRPRECDIF, IDVISUALIZA";
/// Where the statements that copy a rule row into the history take their values from:
/// SQL expressions, written into the statement as they stand.
struct HistorySource {
    std::string_view before;   ///< the row as it was: a table alias, or OLD in a trigger
    std::string_view after;    ///< what replaces its values (an alias, or NEW); empty: removed
    std::string_view when;     ///< DTOPERACAO
    std::string_view user;     ///< NMUSUARIO
    std::string_view station;  ///< NMESTACAO
};

/// "INSERT INTO PRECDIFHIST (...) SELECT ..." with every column of the history taken from
/// source: IDOPERACAO `S` when something replaces the row, `E` when it is removed. A
/// FROM and WHERE may follow.
std::string historyInsert(const HistorySource& source);

/// The columns of the reference tables in table order.
inline constexpr std::string_view kBranchColumns =
    "CDFILIAL, NMFILIAL, CDSEGMER, SEGMENTO, IDPRECDIFCOM, CDGRPRODPDV, GRUPOPROD, "
    "IDUTMODPRODFIL";
inline constexpr std::string_view kPriceTableColumns = "CDFILIAL, CDTABEPREC, NMTABEPREC";
inline constexpr std::string_view kPeriodColumns =
    "CDFILIAL, CDTABEPREC, DTINIVGPREC, DTFINVGPREC";
inline constexpr std::string_view kProductColumns = "CDPRODUTO, CDARVPROD, NMPRODUTO";
inline constexpr std::string_view kAssortmentColumns = "CDFILIAL, CDPRODUTO";
inline constexpr std::string_view kConsumerTypeColumns = "CDTIPOCONS, NMTIPOCONS";
inline constexpr std::string_view kConsumerTypeBranchColumns = "CDFILIAL, CDTIPOCONS";
/// The columns of ITEMPREC in table order; the first four are its key.
inline constexpr std::string_view kBasePriceColumns =
    "CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, VRPRECO";
/// The columns of FERIADO in table order; the first two are its key.
inline constexpr std::string_view kHolidayColumns = "CDFILIAL, DTFERIADO, NMFERIADO";

/// The columns of ALTPRECO in table order; NRALTERACAO is its key.
inline constexpr std::string_view kChangeColumns =
    "NRALTERACAO, DTALTERACAO, CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, IDALTERACAO";

/// The reference tables, children first, the order they are emptied in. The demo's base
/// prices and holidays are reference data as well.
inline constexpr std::string_view kReferenceTables[] = {
    "ITEMPREC", "FERIADO",  "TABEVEND", "TABEPREC", "PRODFILI",
    "PRODUTO",  "TIPOCONSFILI", "TIPOCONS", "FILIAL"};

/// A table and the privileges the server's own work needs on it, as a GRANT lists them.
struct TableNeed {
    std::string_view table;
    std::string_view privileges;  ///< "SELECT, INSERT", in GRANT order
};
/// What `serve` does to each table (init, holidays and the imports are the owner's work):
/// it reads every table; it stores, replaces and removes rules; it appends to the rule
/// history and reads it back. A role lacking one of these fails the calls that need it.
inline constexpr TableNeed kServerNeeds[] = {
    {"SCHEMAVERSION", "SELECT"}, {"FILIAL", "SELECT"},   {"TABEPREC", "SELECT"},
    {"TABEVEND", "SELECT"},      {"PRODUTO", "SELECT"},  {"PRODFILI", "SELECT"},
    {"TIPOCONS", "SELECT"},      {"ITEMPREC", "SELECT"}, {"FERIADO", "SELECT"},
    {"TIPOCONSFILI", "SELECT"},
    {"PRECDIF", "SELECT, INSERT, UPDATE, DELETE"},       {"PRECDIFHIST", "SELECT, INSERT"},
    {"ALTPRECO", "SELECT, INSERT, DELETE"},
};

/// The rows of every table, in the order of StoredCounts' members.
inline constexpr std::string_view kCountEveryTable =
    "SELECT (SELECT COUNT(*) FROM FILIAL), (SELECT COUNT(*) FROM TABEPREC),"
    " (SELECT COUNT(*) FROM TABEVEND), (SELECT COUNT(*) FROM PRODUTO),"
    " (SELECT COUNT(*) FROM PRODFILI), (SELECT COUNT(*) FROM TIPOCONS),"
    " (SELECT COUNT(*) FROM TIPOCONSFILI),"
    " (SELECT COUNT(*) FROM PRECDIF), (SELECT COUNT(*) FROM ITEMPREC),"
    " (SELECT COUNT(*) FROM FERIADO), (SELECT COUNT(*) FROM PRECDIFHIST)";
/// The rules the reference tables no longer back: branch, price table, validity period or
/// product gone, or the product not sold by the branch. A condition on PRECDIF's columns.
inline constexpr std::string_view kUnbackedRule =
    " NOT EXISTS (SELECT 1 FROM FILIAL F WHERE F.CDFILIAL = PRECDIF.CDFILIAL)"
    " OR NOT EXISTS (SELECT 1 FROM TABEPREC T WHERE T.CDFILIAL = PRECDIF.CDFILIAL"
    " AND T.CDTABEPREC = PRECDIF.CDTABEPREC)"
    " OR NOT EXISTS (SELECT 1 FROM TABEVEND V WHERE V.CDFILIAL = PRECDIF.CDFILIAL"
    " AND V.CDTABEPREC = PRECDIF.CDTABEPREC AND V.DTINIVGPREC = PRECDIF.DTINIVGPREC)"
    " OR NOT EXISTS (SELECT 1 FROM PRODUTO P WHERE P.CDPRODUTO = PRECDIF.CDPRODUTO)"
    " OR NOT EXISTS (SELECT 1 FROM PRODFILI S WHERE S.CDFILIAL = PRECDIF.CDFILIAL"
    " AND S.CDPRODUTO = PRECDIF.CDPRODUTO)";

}  // namespace server::schema
