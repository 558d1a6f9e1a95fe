#pragma once
// Opening the store a database URL names.

#include <memory>
#include <string>

#include "server/store/RuleStore.h"

namespace server {

/// Whether opening a store may create its database. Only `init` creates one: everything
/// else needs a database that exists, so that a mistyped path is an error, not a new file.
enum class Creation { MustExist, MayCreate };

/// Opens the store a database URL names: "sqlite:PATH" or "postgresql://..." (also
/// "postgres://..."). A SQLite file made by MayCreate is readable by its owner only
/// (mode 0600), and so are its -wal and -shm files. Throws std::invalid_argument for
/// another URL and StoreError when the database cannot be reached or, with MustExist,
/// the SQLite file does not exist (no file is then left behind).
std::unique_ptr<RuleStore> openStore(const std::string& url,
                                     Creation creation = Creation::MustExist);
/// The same with the database's time bounds.
std::unique_ptr<RuleStore> openStore(const std::string& url, const StoreSettings& settings,
                                     Creation creation = Creation::MustExist);

/// Opens the existing database at url for serving: one never initialised is refused
/// (std::runtime_error telling to run init), one of an older schema is upgraded first
/// (createSchema), one of a newer schema is refused.
std::unique_ptr<RuleStore> openCurrentStore(const std::string& url,
                                            const StoreSettings& settings = {});

}  // namespace server
