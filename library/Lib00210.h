#pragma once
// The product search of the library module.

#include <string>

namespace vol {
class ClientDataSet;
}

namespace lib {

/// Fills the dataset with the products the branch sells, read from the local database,
/// in product tree code order, and leaves it open. The dataset must declare the string
/// fields IDMARCADO, CDPRODUTO, CDARVPROD and NMPRODUTO; whatever it held before is
/// replaced. Returns the search's notice: empty when products were found, a Portuguese
/// sentence when the branch has none. A database error throws std::runtime_error with
/// the database's text (the dataset then keeps its former content).
std::string SQL_Pesquisa_Produto_CDS(const std::string& branch, vol::ClientDataSet& products);

}  // namespace lib
