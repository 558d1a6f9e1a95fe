#pragma once
// Writes the demo data set into the host's local SQLite database.

#include <string>

#include "DemoDataSet.h"

namespace demo {

/// Creates (or empties) TIPOCONS, TIPOCONSFILI, PRODUTO, PRODFILI and FILIAL in the SQLite
/// file at sqlitePath and fills them with the demo data set of `products` products, in one
/// transaction. Other tables of the file are left alone. Throws std::runtime_error when
/// the file cannot be opened or written.
void writeLocalDatabase(const std::string& sqlitePath, int products = kDefaultProducts);

}  // namespace demo
