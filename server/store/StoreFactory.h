#pragma once
// Opening the store a database URL names.

#include <functional>
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

/// An opened store and the schema version its database had when opened.
struct InitialisedStore {
    std::unique_ptr<RuleStore> store;
    int version = 0;
};
/// Opens the existing database at url and reads its schema version, changing nothing:
/// one never initialised is refused (std::runtime_error telling to run init).
InitialisedStore openInitialisedStore(const std::string& url, const StoreSettings& settings = {});

/// Opens the existing database at url for serving: one never initialised is refused
/// (std::runtime_error telling to run init), one of an older schema is upgraded first
/// (createSchema; then upgraded, when given, is told the version found), one of a newer
/// schema is refused. An upgrade the role may not make throws UpgradeDenied.
std::unique_ptr<RuleStore> openCurrentStore(const std::string& url,
                                            const StoreSettings& settings = {},
                                            const std::function<void(int found)>& upgraded = {});
/// Opens the existing database at url for a command that only reads, changing nothing:
/// one never initialised, or of another schema than this build's, is refused
/// (std::runtime_error telling to run init, or saying the schema is newer).
std::unique_ptr<RuleStore> openStoreToRead(const std::string& url);

}  // namespace server
