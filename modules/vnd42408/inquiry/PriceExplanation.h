#pragma once
// The readable explanation of the price in force for one product at one moment.

#include <string>

#include <nlohmann/json.hpp>

#include "protocol/Date.h"
#include "protocol/DatePattern.h"

namespace vnd {

/// What the person asked about: which product, when, for which consumer type.
struct PriceQuestion {
    std::string productCode;   ///< as the screen shows it (the product tree code)
    std::string productName;
    wire::Date date;
    std::string time;          ///< "HH:MM"
    std::string consumerType;  ///< "" for none
    std::string consumerName;  ///< the type's name, "" when unknown
};

/// Turns the server's answer about the price in force (period, day, base price, applied
/// rule, final price, and every stored rule of the product with its situation) into the
/// text the screen shows, one fact a line, in Brazilian Portuguese. Pure: no I/O. Missing
/// or null members read as absent (no period, no base price, no rule), never as a fault,
/// so a partial answer still explains what it holds.
class PriceExplanation {
public:
    /// The whole text, lines separated by "\n".
    static std::string text(const PriceQuestion& question, const nlohmann::json& answer,
                            const wire::DatePattern& pattern);
    /// One rule in words: "Sábado, tipo Todos, 08:00 às 12:00, validade 01/02/2026 a
    /// 28/02/2026, Desconto de R$ 2,00".
    static std::string rule(const nlohmann::json& row, const wire::DatePattern& pattern);
    /// A member of an answer as text: a string as it stands, a number in its shortest
    /// form, a date object ({"$date": ISO}) as its ISO text, null or missing as "".
    static std::string member(const nlohmann::json& object, const char* name);
};

}  // namespace vnd
