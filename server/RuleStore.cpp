#include "RuleStore.h"

#include <ctime>
#include <stdexcept>

#include "DatabaseUrl.h"
#include "PostgresRuleStore.h"
#include "SqliteRuleStore.h"

namespace server {

bool StoredCounts::empty() const {
    return branches == 0 && priceTables == 0 && periods == 0 && products == 0 &&
           assortment == 0 && consumerTypes == 0 && rules == 0;
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
           ", " + count(consumerTypes, "tipo de consumidor", "tipos de consumidor") + " e " +
           count(rules, "regra gravada", "regras gravadas");
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

std::string currentTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return buffer;
}

}  // namespace server
