#pragma once
// The reference tables as the store reads and writes them: what the screen looks up and
// what a rule must name.

#include <string>
#include <vector>

#include "server/pricing/DayFacts.h"
#include "server/pricing/ValidityPeriod.h"

namespace server {

/// A row of FILIAL: the eight columns the branch lookup carries.
struct Branch {
    std::string code;                  ///< CDFILIAL
    std::string name;                  ///< NMFILIAL
    std::string segmentCode;           ///< CDSEGMER
    std::string segment;               ///< SEGMENTO
    std::string differentiatedPrices;  ///< IDPRECDIFCOM, "S" or "N"
    std::string posGroupCode;          ///< CDGRPRODPDV
    std::string posGroup;              ///< GRUPOPROD
    std::string usesProductModule;     ///< IDUTMODPRODFIL, "S" or "N"
};

/// A row of TABEPREC.
struct PriceTable {
    std::string branch;  ///< CDFILIAL
    std::string code;    ///< CDTABEPREC
    std::string name;    ///< NMTABEPREC
};

/// A row of PRODUTO.
struct Product {
    std::string code;      ///< CDPRODUTO
    std::string treeCode;  ///< CDARVPROD
    std::string name;      ///< NMPRODUTO
};

/// A row of PRODFILI: a product the branch sells.
struct AssortmentRow {
    std::string branch;   ///< CDFILIAL
    std::string product;  ///< CDPRODUTO
};

/// A row of TIPOCONS.
struct ConsumerType {
    std::string code;  ///< CDTIPOCONS
    std::string name;  ///< NMTIPOCONS
};

/// A row of TIPOCONSFILI: a consumer type the branch uses.
struct ConsumerTypeBranch {
    std::string branch;        ///< CDFILIAL
    std::string consumerType;  ///< CDTIPOCONS
};

/// A row of ITEMPREC: a product's base price in one validity period of a price table.
struct BasePrice {
    std::string branch;       ///< CDFILIAL
    std::string table;        ///< CDTABEPREC
    std::string periodStart;  ///< DTINIVGPREC, "YYYY-MM-DD"
    std::string product;      ///< CDPRODUTO
    double price = 0;         ///< VRPRECO
};

/// Every row of every reference table, as RuleStore::replaceReferenceData writes them.
struct ReferenceData {
    std::vector<Branch> branches;
    std::vector<PriceTable> priceTables;
    std::vector<ValidityPeriod> periods;
    std::vector<Product> products;
    std::vector<AssortmentRow> assortment;
    std::vector<ConsumerType> consumerTypes;
    std::vector<ConsumerTypeBranch> consumerTypeBranches;
    std::vector<BasePrice> basePrices;
    std::vector<Holiday> holidays;
};

}  // namespace server
