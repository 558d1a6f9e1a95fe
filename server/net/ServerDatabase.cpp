#include "server/net/ServerDatabase.h"

#include <chrono>
#include <exception>

#include "server/net/ServerOptions.h"
#include "server/ops/Log.h"
#include "server/rpc/PriceService.h"
#include "server/service/ChangeWaiters.h"
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

// The store of the server's changes: each commit wakes the calls waiting for it at once.
std::unique_ptr<RuleStore> announcing(std::unique_ptr<RuleStore> store, ChangeWaiters& waiters) {
    store->setChangesCommitted([&waiters](const CommittedChanges& written) {
        waiters.changed(written.branches, written.last);
    });
    return store;
}

}  // namespace

ServerDatabase::ServerDatabase(const std::string& url, const ServerOptions& options, Log& log,
                               ChangeWaiters& waiters)
    : reads_(std::make_shared<PriceService>(openCurrentStore(
          url, storeSettings(options, options.dbTimeout),
          [&](int found) {
              log.event(LogLevel::Info, "schema-upgrade",
                        {{"from", std::to_string(found)},
                         {"to", std::to_string(kSchemaVersion)},
                         {"db", redactUrl(url)}});
          }))),
      writes_(std::make_shared<PriceService>(
          announcing(openStore(url, storeSettings(options, options.storeTimeout)), waiters))) {}

std::unique_ptr<RuleStore> ServerDatabase::openWatchStore(const std::string& url,
                                                          const ServerOptions& options) {
    return openStore(url, storeSettings(options, options.dbTimeout));
}

void ServerDatabase::interrupt() {
    reads_->interrupt();
    writes_->interrupt();
}

bool ServerDatabase::answers(const std::string& url, const ServerOptions& options) {
    try {
        return openStore(url, storeSettings(options, options.dbConnectTimeout))->schemaVersion() > 0;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace server
