#pragma once
// The one deterministic demo data set that the server's and the host's databases share.

#include <string>
#include <vector>

namespace demo {

/// The default number of products.
inline constexpr int kDefaultProducts = 200;

/// A row of FILIAL: the eight columns the branch lookup carries.
struct Branch {
    std::string code;  ///< CDFILIAL, 4 characters
    std::string name;  ///< NMFILIAL
    std::string segmentCode;  ///< CDSEGMER
    std::string segment;      ///< SEGMENTO
    std::string differentiatedPrices;  ///< IDPRECDIFCOM, "S" or "N"
    std::string posGroupCode;          ///< CDGRPRODPDV
    std::string posGroup;              ///< GRUPOPROD
    std::string usesProductModule;     ///< IDUTMODPRODFIL, "S" or "N"
};

/// A row of TABEPREC.
struct PriceTable {
    std::string branch;  ///< CDFILIAL
    std::string code;    ///< CDTABEPREC, 3 digits
    std::string name;    ///< NMTABEPREC
};

/// A row of TABEVEND: one validity period of a price table, dates as "YYYY-MM-DD".
struct ValidityPeriod {
    std::string branch;
    std::string table;
    std::string start;  ///< DTINIVGPREC
    std::string end;    ///< DTFINVGPREC
};

/// A row of PRODUTO.
struct Product {
    std::string code;      ///< CDPRODUTO, 10 digits
    std::string treeCode;  ///< CDARVPROD: group, subgroup, item
    std::string name;      ///< NMPRODUTO
};

/// A row of TIPOCONS.
struct ConsumerType {
    std::string code;  ///< CDTIPOCONS, 2 characters
    std::string name;  ///< NMTIPOCONS
};

/// A (branch, code) pair: PRODFILI rows and TIPOCONSFILI rows.
struct BranchLink {
    std::string branch;
    std::string code;
};

/// A row of ITEMPREC: a product's base price in one validity period of a price table.
struct BasePrice {
    std::string branch;       ///< CDFILIAL
    std::string table;        ///< CDTABEPREC
    std::string periodStart;  ///< DTINIVGPREC, "YYYY-MM-DD"
    std::string product;      ///< CDPRODUTO
    double price = 0;         ///< VRPRECO: a whole number of cents
};

/// A row of FERIADO.
struct Holiday {
    std::string branch;  ///< CDFILIAL, or "T" for every branch
    std::string date;    ///< DTFERIADO, "YYYY-MM-DD"
    std::string name;    ///< NMFERIADO
};

/// Every row of the demo data set, each table in code order.
struct DataSet {
    std::vector<Branch> branches;
    std::vector<PriceTable> priceTables;
    std::vector<ValidityPeriod> periods;
    std::vector<Product> products;
    std::vector<BranchLink> assortment;            ///< PRODFILI
    std::vector<ConsumerType> consumerTypes;
    std::vector<BranchLink> consumerTypeBranches;  ///< TIPOCONSFILI
    /// Every product a branch sells in every validity period of each of its tables.
    std::vector<BasePrice> basePrices;
    /// The national holidays of 2025 to 2027 (branch "T") and branch 0001's own.
    std::vector<Holiday> holidays;
};

/// The data set with `products` products (at least 0). The same count always gives the
/// same rows. Throws std::invalid_argument for a negative count.
DataSet makeDataSet(int products = kDefaultProducts);

/// The base price in cents of product i (1-based) in price table `table` in the validity
/// period that starts in `year` (2025, 2026 or 2027). Table 001's 2026 price is
/// 2.99 + ((i x 7919) mod 4900) / 100; table 002 (wholesale) costs 90 % of it, any other
/// table as much; 2025 costs 95 % and 2027 104 % of the same table's 2026 price. Each
/// step rounds to the cent, half away from zero, in whole cents. Throws
/// std::invalid_argument for another year or a product number below 1.
long long basePriceCents(int product, const std::string& table, int year);

/// Product i (1-based) of a set of `total` products.
Product makeProduct(int i, int total = kDefaultProducts);

}  // namespace demo
