#include "server/net/ServerDatabase.h"

#include <chrono>
#include <exception>
#include <vector>

#include "server/net/ServerOptions.h"
#include "server/ops/HealthProbe.h"
#include "server/ops/Log.h"
#include "server/rpc/PriceService.h"
#include "server/service/ChangeWaiters.h"
#include "server/service/HeldData.h"
#include "server/store/DatabaseUrl.h"
#include "server/store/RuleStore.h"
#include "server/store/StoreFactory.h"

namespace server {

namespace {

StoreSettings storeSettings(const ServerOptions& options, std::chrono::milliseconds callTimeout) {
    StoreSettings settings;
    settings.connectTimeout = options.dbConnectTimeout;
    settings.keepaliveIdle = options.dbKeepalive;
    settings.statementTimeout = callTimeout;
    return settings;
}

// The store of the server's changes: each commit drops what the lookups held of what it
// changed and wakes the calls waiting for it, at once.
std::unique_ptr<RuleStore> announcing(std::unique_ptr<RuleStore> store, ChangeWaiters& waiters,
                                      HeldData* held) {
    store->setChangesCommitted([&waiters, held](const CommittedChanges& written) {
        if (held != nullptr) {
            held->apply(written.changes);
        }
        waiters.changed(written.branches, written.last);
    });
    return store;
}

std::shared_ptr<HeldData> heldFor(const ServerOptions& options) {
    return options.cacheBytes > 0 ? std::make_shared<HeldData>(options.cacheBytes) : nullptr;
}

// The sentences of the privileges a role lacks, a line each, as a health page shows them.
std::string lines(const std::vector<std::string>& sentences) {
    std::string out;
    for (const std::string& sentence : sentences) {
        out.append(out.empty() ? "" : "\n").append(sentence);
    }
    return out;
}

// The lookups' stores, opened for serving: the first upgrades the database and logs
// each privilege its role lacks (their lines kept in missing); the others, opened only
// where the database lets them read beside each other, find it current.
std::vector<std::unique_ptr<RuleStore>> openReads(const std::string& url,
                                                  const ServerOptions& options, Log& log,
                                                  std::string& missing) {
    const StoreSettings settings = storeSettings(options, options.dbTimeout);
    std::vector<std::unique_ptr<RuleStore>> stores;
    stores.push_back(openCurrentStore(url, settings, [&](int found) {
        log.event(LogLevel::Info, "schema-upgrade",
                  {{"from", std::to_string(found)},
                   {"to", std::to_string(kSchemaVersion)},
                   {"db", redactUrl(url)}});
    }));
    const std::vector<std::string> sentences = stores.front()->missingPrivileges();
    for (const std::string& sentence : sentences) {
        log.event(LogLevel::Warning, "db-privilege-missing", {{"msg", sentence}});
    }
    missing = lines(sentences);
    const unsigned asked = options.readConnectionCount();
    if (asked > 1 && !stores.front()->readsAlongside()) {
        log.event(LogLevel::Warning, "db-read-connections",
                  {{"asked", std::to_string(asked)},
                   {"opened", "1"},
                   {"msg", "O banco de dados SQLite não está no modo WAL; as consultas usam "
                           "uma conexão só."}});
        return stores;
    }
    while (stores.size() < asked) {
        stores.push_back(openStore(url, settings));
    }
    return stores;
}

}  // namespace

ServerDatabase::ServerDatabase(const std::string& url, const ServerOptions& options, Log& log,
                               ChangeWaiters& waiters)
    : held_(heldFor(options)),
      reads_(std::make_shared<PriceService>(openReads(url, options, log, problemAtOpen_))),
      writes_(std::make_shared<PriceService>(announcing(
          openStore(url, storeSettings(options, options.storeTimeout)), waiters, held_.get()))) {
    reads_->holdIn(held_);
}

std::unique_ptr<RuleStore> ServerDatabase::openWatchStore(const std::string& url,
                                                          const ServerOptions& options) {
    return openStore(url, storeSettings(options, options.dbTimeout));
}

std::size_t ServerDatabase::readConnections() const {
    return reads_->connections();
}

void ServerDatabase::interrupt() {
    reads_->interrupt();
    writes_->interrupt();
}

std::string ServerDatabase::problem(const std::string& url, const ServerOptions& options) {
    try {
        const auto store = openStore(url, storeSettings(options, options.dbConnectTimeout));
        if (store->schemaVersion() <= 0) {
            return std::string(kDatabaseUnavailable);
        }
        return lines(store->missingPrivileges());
    } catch (const std::exception&) {
        return std::string(kDatabaseUnavailable);
    }
}

}  // namespace server
