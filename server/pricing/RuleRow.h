#pragma once
// One stored differentiated price: a row of PRECDIF.

#include <optional>
#include <string>

#include "protocol/Date.h"

namespace server {

/// IDDESCACRE: the amount is taken off the price (0) or added to it (1).
enum class Adjustment { Discount = 0, Surcharge = 1 };
/// IDVALPERC: the amount is money (0) or a percentage of the price (1).
enum class AmountKind { Money = 0, Percentage = 1 };
/// IDVISUALIZA: the price is shown (0) or not (1).
enum class Display { Shown = 0, Hidden = 1 };

/// The value a member is stored and sent as: 0 or 1.
template <class Set>
constexpr int columnValue(Set member) {
    return static_cast<int>(member);
}
/// The member stored as value; nullopt for anything but 0 and 1.
template <class Set>
constexpr std::optional<Set> fromColumnValue(long long value) {
    if (value != 0 && value != 1) {
        return std::nullopt;
    }
    return static_cast<Set>(value);
}

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
    Adjustment adjustment = Adjustment::Discount;  ///< IDDESCACRE
    AmountKind amountKind = AmountKind::Money;     ///< IDVALPERC
    double amount = 0;         ///< VRPRECDIF
    Display display = Display::Shown;              ///< IDVISUALIZA
    std::string updatedAt;     ///< DTULTATU as "YYYY-MM-DD HH:MM:SS"; set by the store

    bool sameKey(const RuleRow& other) const;
};

}  // namespace server
