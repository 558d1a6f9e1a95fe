#pragma once
// A database made ready for a server: its schema, and the demo data set when asked for.

#include <string>

#include "demodata/DemoDataSet.h"

namespace server {

/// What initDatabase does with a database that already holds reference rows or rules.
enum class ExistingData { Refuse, Replace };

/// Creates (a SQLite file: readable by its owner only) or upgrades the schema of the
/// database at url. With demo it then replaces the reference data by the demo data set
/// of `products` products; a database that holds any reference row or rule is refused
/// (std::runtime_error saying what it holds, nothing replaced) unless existing is
/// Replace. Replacing removes, in the same transaction, the stored rules the new data no
/// longer backs, and returns how many; every other rule is kept. Throws
/// std::invalid_argument for a bad URL, std::runtime_error for a database failure.
long initDatabase(const std::string& url, bool demo, int products = demo::kDefaultProducts,
                  ExistingData existing = ExistingData::Refuse);

}  // namespace server
