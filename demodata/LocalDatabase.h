#pragma once
// Writes the host's local SQLite database: the demo data set, or any rows of the same
// tables (a branch's data read from the server).

#include <string>

#include "DemoDataSet.h"

namespace demo {

/// Creates (or empties) TIPOCONS, TIPOCONSFILI, PRODUTO, PRODFILI and FILIAL in the SQLite
/// file at sqlitePath and fills them with the demo data set of `products` products, in one
/// transaction. Other tables of the file are left alone. Throws std::runtime_error when
/// the file cannot be opened or written.
void writeLocalDatabase(const std::string& sqlitePath, int products = kDefaultProducts);

/// The same with the rows of `rows`' branches, products, assortment, consumer types and
/// consumer types by branch (its other members are not written).
void writeLocalDatabase(const std::string& sqlitePath, const DataSet& rows);

}  // namespace demo
