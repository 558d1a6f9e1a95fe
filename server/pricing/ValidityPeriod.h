#pragma once
// A validity period of a price table: a row of TABEVEND.

#include <string>

namespace server {

/// One validity period, its dates as stored ("YYYY-MM-DD"); a date that does not read
/// as one is kept as it is, for the pricing core to pass over.
struct ValidityPeriod {
    std::string branch;  ///< CDFILIAL
    std::string table;   ///< CDTABEPREC
    std::string start;   ///< DTINIVGPREC
    std::string end;     ///< DTFINVGPREC
};

}  // namespace server
