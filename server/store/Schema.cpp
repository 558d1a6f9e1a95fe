#include "server/store/Schema.h"

#include <algorithm>

namespace server::schema {

const std::vector<std::string_view>& version1() {
    static const std::vector<std::string_view> statements = {
        "CREATE TABLE IF NOT EXISTS SCHEMAVERSION (VERSION INTEGER NOT NULL)",
        "CREATE TABLE IF NOT EXISTS FILIAL (CDFILIAL VARCHAR(4) PRIMARY KEY,"
        " NMFILIAL VARCHAR(30) NOT NULL, CDSEGMER VARCHAR(5), SEGMENTO VARCHAR(48),"
        " IDPRECDIFCOM VARCHAR(1), CDGRPRODPDV VARCHAR(10), GRUPOPROD VARCHAR(53),"
        " IDUTMODPRODFIL VARCHAR(1))",
        "CREATE TABLE IF NOT EXISTS TABEPREC (CDFILIAL VARCHAR(4) NOT NULL,"
        " CDTABEPREC VARCHAR(3) NOT NULL, NMTABEPREC VARCHAR(20) NOT NULL,"
        " PRIMARY KEY (CDFILIAL, CDTABEPREC))",
        "CREATE TABLE IF NOT EXISTS TABEVEND (CDFILIAL VARCHAR(4) NOT NULL,"
        " CDTABEPREC VARCHAR(3) NOT NULL, DTINIVGPREC DATE NOT NULL, DTFINVGPREC DATE NOT NULL,"
        " PRIMARY KEY (CDFILIAL, CDTABEPREC, DTINIVGPREC))",
        "CREATE TABLE IF NOT EXISTS PRODUTO (CDPRODUTO VARCHAR(10) PRIMARY KEY,"
        " CDARVPROD VARCHAR(20) NOT NULL, NMPRODUTO VARCHAR(50) NOT NULL)",
        "CREATE TABLE IF NOT EXISTS PRODFILI (CDFILIAL VARCHAR(4) NOT NULL,"
        " CDPRODUTO VARCHAR(10) NOT NULL, PRIMARY KEY (CDFILIAL, CDPRODUTO))",
        "CREATE TABLE IF NOT EXISTS TIPOCONS (CDTIPOCONS VARCHAR(2) PRIMARY KEY,"
        " NMTIPOCONS VARCHAR(30) NOT NULL)",
        "CREATE TABLE IF NOT EXISTS PRECDIF (CDFILIAL VARCHAR(4) NOT NULL,"
        " CDTABEPREC VARCHAR(3) NOT NULL, DTINIVGPREC DATE NOT NULL,"
        " CDPRODUTO VARCHAR(10) NOT NULL, IDDIA CHAR(1) NOT NULL,"
        " CDTIPOCONS VARCHAR(2) NOT NULL, HRINI CHAR(4) NOT NULL, HRFIN CHAR(4) NOT NULL,"
        " DTINIVALID DATE NOT NULL, DTFINVALID DATE NOT NULL, IDDESCACRE SMALLINT NOT NULL,"
        " IDVALPERC SMALLINT NOT NULL, VRPRECDIF DOUBLE PRECISION NOT NULL,"
        " IDVISUALIZA SMALLINT NOT NULL, DTULTATU TIMESTAMP NOT NULL,"
        " PRIMARY KEY (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, IDDIA, CDTIPOCONS,"
        " HRINI, HRFIN, DTINIVALID, DTFINVALID))",
    };
    return statements;
}

const std::vector<std::string_view>& version2() {
    static const std::vector<std::string_view> statements = {
        "CREATE TABLE IF NOT EXISTS ITEMPREC (CDFILIAL VARCHAR(4) NOT NULL,"
        " CDTABEPREC VARCHAR(3) NOT NULL, DTINIVGPREC DATE NOT NULL,"
        " CDPRODUTO VARCHAR(10) NOT NULL, VRPRECO DOUBLE PRECISION NOT NULL,"
        " PRIMARY KEY (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO))",
        "CREATE TABLE IF NOT EXISTS FERIADO (CDFILIAL VARCHAR(4) NOT NULL,"
        " DTFERIADO DATE NOT NULL, NMFERIADO VARCHAR(60) NOT NULL,"
        " PRIMARY KEY (CDFILIAL, DTFERIADO))",
        // Append only: one row per replaced or removed rule row, so no key.
        "CREATE TABLE IF NOT EXISTS PRECDIFHIST (CDFILIAL VARCHAR(4) NOT NULL,"
        " CDTABEPREC VARCHAR(3) NOT NULL, DTINIVGPREC DATE NOT NULL,"
        " CDPRODUTO VARCHAR(10) NOT NULL, IDDIA CHAR(1) NOT NULL,"
        " CDTIPOCONS VARCHAR(2) NOT NULL, HRINI CHAR(4) NOT NULL, HRFIN CHAR(4) NOT NULL,"
        " DTINIVALID DATE NOT NULL, DTFINVALID DATE NOT NULL, IDOPERACAO CHAR(1) NOT NULL,"
        " DTOPERACAO TIMESTAMP NOT NULL, NMUSUARIO VARCHAR(64) NOT NULL,"
        " NMESTACAO VARCHAR(64) NOT NULL, IDDESCACRE_ANT SMALLINT NOT NULL,"
        " IDVALPERC_ANT SMALLINT NOT NULL, VRPRECDIF_ANT DOUBLE PRECISION NOT NULL,"
        " IDVISUALIZA_ANT SMALLINT NOT NULL, DTULTATU_ANT TIMESTAMP NOT NULL,"
        " IDDESCACRE SMALLINT, IDVALPERC SMALLINT, VRPRECDIF DOUBLE PRECISION,"
        " IDVISUALIZA SMALLINT)",
        // A product's history is read newest first within its price table.
        "CREATE INDEX IF NOT EXISTS PRECDIFHIST_PRODUTO ON PRECDIFHIST"
        " (CDFILIAL, CDTABEPREC, CDPRODUTO, DTOPERACAO)",
    };
    return statements;
}

const std::vector<std::string_view>& version3() {
    static const std::vector<std::string_view> statements = {
        // NRALTERACAO is given under the change log's lock at the end of the writing
        // transaction, never by a sequence: its numbers follow the commits, without gaps.
        "CREATE TABLE IF NOT EXISTS ALTPRECO (NRALTERACAO BIGINT PRIMARY KEY,"
        " DTALTERACAO TIMESTAMP NOT NULL, CDFILIAL VARCHAR(4) NOT NULL,"
        " CDTABEPREC VARCHAR(3), DTINIVGPREC DATE, CDPRODUTO VARCHAR(10),"
        " IDALTERACAO CHAR(1) NOT NULL)",
        // Old rows are removed by their time.
        "CREATE INDEX IF NOT EXISTS ALTPRECO_DATA ON ALTPRECO (DTALTERACAO)",
    };
    return statements;
}

std::vector<std::string_view> upgradeFrom(int version) {
    static_assert(kSchemaVersion == 3, "a new schema version needs its upgrade step here");
    std::vector<std::string_view> out;
    if (version < 1) {
        out.insert(out.end(), version1().begin(), version1().end());
    }
    if (version < 2) {
        out.insert(out.end(), version2().begin(), version2().end());
    }
    if (version < 3) {
        out.insert(out.end(), version3().begin(), version3().end());
    }
    return out;
}

std::string historyInsert(const HistorySource& source) {
    // Every column of a comma-separated list, read from one row.
    auto of = [](std::string_view row, std::string_view columns) {
        std::string out;
        for (std::size_t start = 0; start < columns.size();) {
            const std::size_t comma = std::min(columns.find(", ", start), columns.size());
            out += (out.empty() ? "" : ", ") + std::string(row) + "." +
                   std::string(columns.substr(start, comma - start));
            start = comma + 2;
        }
        return out;
    };
    constexpr std::string_view kValues = "IDDESCACRE, IDVALPERC, VRPRECDIF, IDVISUALIZA";
    const bool removed = source.after.empty();
    return "INSERT INTO PRECDIFHIST (" + std::string(kHistoryColumns) + ") SELECT " +
           of(source.before, kRuleKey) + (removed ? ", 'E', " : ", 'S', ") +
           std::string(source.when) + ", " + std::string(source.user) + ", " +
           std::string(source.station) + ", " + of(source.before, kValues) + ", " +
           std::string(source.before) + ".DTULTATU, " +
           (removed ? "CAST(NULL AS SMALLINT), CAST(NULL AS SMALLINT),"
                      " CAST(NULL AS DOUBLE PRECISION), CAST(NULL AS SMALLINT)"
                    : of(source.after, kValues));
}

std::string newerVersionMessage(int version) {
    return "O banco de dados tem o esquema versão " + std::to_string(version) +
           ", mais novo que o deste servidor (" + std::to_string(kSchemaVersion) + ").";
}

}  // namespace server::schema
