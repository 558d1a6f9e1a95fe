#pragma once
// One answer of GetDadosPreco, read into the rows a till keeps: no I/O.

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "server/pricing/DayFacts.h"
#include "server/pricing/PricedProduct.h"
#include "server/pricing/RuleRow.h"
#include "server/pricing/ValidityPeriod.h"

namespace till {

/// A base price of ITEMPREC in one period.
struct BasePrice {
    std::string periodStart;  ///< DTINIVGPREC, "YYYY-MM-DD"
    std::string product;      ///< CDPRODUTO
    double price = 0;         ///< VRPRECO
};

/// A consumer type a price may be asked for (TIPOCONS).
struct ConsumerType {
    std::string code;  ///< CDTIPOCONS
    std::string name;  ///< NMTIPOCONS
};

/// What the server's snapshot `ate` holds for the products from `first` on: those the
/// branch sells, their base prices and rules, and the table's periods, the holidays and
/// the consumer types.
struct PriceDataPage {
    long long ate = 0;
    std::optional<std::string> next;  ///< "proximo": the first product after this page
    std::vector<server::PricedProduct> products;  ///< base prices are not set here
    std::vector<BasePrice> prices;
    std::vector<server::RuleRow> rules;
    std::vector<server::ValidityPeriod> periods;
    std::vector<server::Holiday> holidays;
    std::vector<ConsumerType> consumerTypes;
};

/// Reads an answer of GetDadosPreco. Throws std::runtime_error (Portuguese) when it is
/// not one: a packet or a column missing, a date or a number that does not read.
PriceDataPage readPriceDataPage(const nlohmann::json& answer);

}  // namespace till
