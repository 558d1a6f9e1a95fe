#include "server/store/StoreFactory.h"

#include <stdexcept>
#include <utility>

#include "server/store/DatabaseUrl.h"
#include "server/store/Schema.h"
#include "server/store/UpgradeDenied.h"
#include "server/store/postgres/PostgresRuleStore.h"
#include "server/store/sqlite/SqliteRuleStore.h"

namespace server {

std::unique_ptr<RuleStore> openStore(const std::string& url, Creation creation) {
    return openStore(url, StoreSettings{}, creation);
}

std::unique_ptr<RuleStore> openStore(const std::string& url, const StoreSettings& settings,
                                     Creation creation) {
    static constexpr std::string_view kSqlite = "sqlite:";
    if (url.starts_with(kSqlite)) {
        const std::string path = url.substr(kSqlite.size());
        if (path.empty()) {
            throw std::invalid_argument("URL de banco de dados sem caminho: " + url);
        }
        return std::make_unique<SqliteRuleStore>(path, creation);
    }
    if (url.starts_with("postgresql://") || url.starts_with("postgres://")) {
        return std::make_unique<PostgresRuleStore>(url, settings);
    }
    throw std::invalid_argument("URL de banco de dados inválida: \"" + redactUrl(url) +
                                "\" (use sqlite:CAMINHO ou postgresql://...)");
}

InitialisedStore openInitialisedStore(const std::string& url, const StoreSettings& settings) {
    auto store = openStore(url, settings);
    const int version = store->schemaVersion();
    if (version == 0) {
        const std::string shown = redactUrl(url);
        throw std::runtime_error("O banco de dados " + shown +
                                 " não foi inicializado; execute vnd-server init --db " + shown +
                                 ".");
    }
    return {std::move(store), version};
}

std::unique_ptr<RuleStore> openCurrentStore(const std::string& url, const StoreSettings& settings,
                                            const std::function<void(int)>& upgraded) {
    auto [store, version] = openInitialisedStore(url, settings);
    if (version != kSchemaVersion) {
        // An older database gains the new tables with its rows kept; a newer one is
        // refused by the upgrade itself, before anything is touched.
        try {
            store->createSchema();
        } catch (const StoreError& e) {
            if (e.kind() != StoreFailure::Permission && e.kind() != StoreFailure::ReadOnly) {
                throw;
            }
            const std::string shown = redactUrl(url);
            throw UpgradeDenied(
                "O banco de dados " + shown + " tem o esquema versão " + std::to_string(version) +
                " e precisa ser atualizado para a versão " + std::to_string(kSchemaVersion) +
                ", mas o papel do servidor não tem permissão para isso. Rode antes, como dono "
                "do banco, vnd-server init --db com a URL do dono e dê ao papel do servidor os "
                "GRANT das tabelas novas; depois inicie o servidor de novo.");
        }
        if (upgraded) {
            upgraded(version);
        }
    }
    return std::move(store);
}

std::unique_ptr<RuleStore> openStoreToRead(const std::string& url) {
    auto [store, version] = openInitialisedStore(url);
    if (version > kSchemaVersion) {
        throw std::runtime_error(schema::newerVersionMessage(version));
    }
    if (version < kSchemaVersion) {
        const std::string shown = redactUrl(url);
        throw std::runtime_error("O banco de dados " + shown + " tem o esquema versão " +
                                 std::to_string(version) + ", anterior ao deste programa (" +
                                 std::to_string(kSchemaVersion) +
                                 "); atualize-o com vnd-server init --db " + shown + ".");
    }
    return std::move(store);
}

}  // namespace server
