#include "RuleStore.h"

#include <ctime>
#include <stdexcept>

#include "DatabaseUrl.h"
#include "PostgresRuleStore.h"
#include "SqliteRuleStore.h"

namespace server {

StoredCounts StoredCounts::fromColumns(const std::array<long, kTables>& n) {
    return {n[0], n[1], n[2], n[3], n[4], n[5], n[6], n[7], n[8], n[9]};
}

bool StoredCounts::empty() const {
    return branches == 0 && priceTables == 0 && periods == 0 && products == 0 &&
           assortment == 0 && consumerTypes == 0 && rules == 0 && basePrices == 0 &&
           holidays == 0 && history == 0;
}

std::string StoredCounts::text() const {
    auto count = [](long n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    return count(branches, "filial", "filiais") + ", " +
           count(priceTables, "tabela de preço", "tabelas de preço") + ", " +
           count(periods, "vigência", "vigências") + ", " +
           count(products, "produto", "produtos") + ", " +
           count(assortment, "produto vendido por filial", "produtos vendidos por filial") +
           ", " + count(consumerTypes, "tipo de consumidor", "tipos de consumidor") + ", " +
           count(basePrices, "preço base", "preços base") + ", " +
           count(holidays, "feriado", "feriados") + ", " +
           count(rules, "regra gravada", "regras gravadas") + " e " +
           count(history, "alteração de regra no histórico", "alterações de regra no histórico");
}

std::vector<RuleRow> RuleStore::rules(const std::optional<std::string>& branch,
                                      const std::optional<std::string>& table) {
    std::vector<RuleRow> out;
    forEachRule(branch, table, [&](const RuleRow& row) { out.push_back(row); });
    return out;
}

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

std::unique_ptr<RuleStore> openCurrentStore(const std::string& url,
                                            const StoreSettings& settings) {
    auto store = openStore(url, settings);
    const int version = store->schemaVersion();
    if (version == 0) {
        const std::string shown = redactUrl(url);
        throw std::runtime_error("O banco de dados " + shown +
                                 " não foi inicializado; execute vnd-server init --db " + shown +
                                 ".");
    }
    if (version != kSchemaVersion) {
        // An older database gains the new tables with its rows kept; a newer one is
        // refused by the upgrade itself, before anything is touched.
        store->createSchema();
    }
    return store;
}

std::string currentTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return buffer;
}

}  // namespace server
