#pragma once
// A product as a branch sells it, with its base price in one validity period.

#include <optional>
#include <string>

namespace server {

/// A product of a branch's assortment with its base price in one validity period.
struct PricedProduct {
    std::string code;       ///< CDPRODUTO
    std::string treeCode;   ///< CDARVPROD
    std::string name;       ///< NMPRODUTO
    std::optional<double> base;  ///< ITEMPREC.VRPRECO; none when not stored
};

}  // namespace server
