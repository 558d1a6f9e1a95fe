#pragma once
// One stored differentiated price: a row of PRECDIF.

#include <string>

#include "protocol/Date.h"

namespace server {

/// One row of PRECDIF. The key is the ten columns from branch to validTo.
struct RuleRow {
    std::string branch;        ///< CDFILIAL
    std::string table;         ///< CDTABEPREC
    wire::Date periodStart;    ///< DTINIVGPREC
    std::string product;       ///< CDPRODUTO
    char day = 'T';            ///< IDDIA: T, F, V or 1..7 (Sunday..Saturday)
    std::string consumerType;  ///< CDTIPOCONS, or "T" for all
    std::string timeStart;     ///< HRINI, HHMM
    std::string timeEnd;       ///< HRFIN, HHMM
    wire::Date validFrom;      ///< DTINIVALID
    wire::Date validTo;        ///< DTFINVALID
    int surcharge = 0;         ///< IDDESCACRE: 0 discount, 1 surcharge
    int percentage = 0;        ///< IDVALPERC: 0 value, 1 percentage
    double amount = 0;         ///< VRPRECDIF
    int display = 0;           ///< IDVISUALIZA
    std::string updatedAt;     ///< DTULTATU as "YYYY-MM-DD HH:MM:SS"; set by the store

    bool sameKey(const RuleRow& other) const;
};

}  // namespace server
