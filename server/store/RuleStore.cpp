#include "server/store/RuleStore.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <stdexcept>
#include <utility>

#include "server/store/DatabaseUrl.h"
#include "server/store/postgres/PostgresRuleStore.h"
#include "server/store/Schema.h"
#include "server/store/sqlite/SqliteRuleStore.h"

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

void RuleStore::forEachRule(const std::optional<std::string>& branch,
                            const std::optional<std::string>& table,
                            const std::function<void(const RuleRow&)>& fn) {
    // One row object for the whole read: its texts keep their buffers from row to row.
    RuleRow row;
    query("SELECT " + std::string(schema::kRuleSelect) +
              " FROM PRECDIF WHERE ({t1} IS NULL OR CDFILIAL = {t1})"
              " AND ({t2} IS NULL OR CDTABEPREC = {t2}) ORDER BY " + std::string(schema::kRuleKey),
          {branch, table},
          [&](const SqlRow& r) {
              readRuleRow(r, 0, row);
              fn(static_cast<const RuleRow&>(row));
          },
          SqlRows::Many);
}

long RuleStore::countRules() {
    long count = 0;
    query("SELECT COUNT(*) FROM PRECDIF", {},
          [&](const SqlRow& r) { count = static_cast<long>(r.integer(0)); });
    return count;
}

void readRuleRow(const SqlRow& r, int first, RuleRow& row) {
    auto text = [&](int c, std::string& into) { into.assign(r.text(first + c)); };
    auto date = [&](int c) {
        const std::string_view t = r.text(first + c);
        const auto d = wire::Date::fromIso(t);
        if (!d) {
            throw std::runtime_error("Data inválida no banco de dados: " + std::string(t));
        }
        return *d;
    };
    text(0, row.branch);
    text(1, row.table);
    row.periodStart = date(2);
    text(3, row.product);
    const std::string_view day = r.text(first + 4);
    row.day = day.empty() ? ' ' : day[0];
    text(5, row.consumerType);
    text(6, row.timeStart);
    text(7, row.timeEnd);
    row.validFrom = date(8);
    row.validTo = date(9);
    row.surcharge = static_cast<int>(r.integer(first + 10));
    row.percentage = static_cast<int>(r.integer(first + 11));
    row.amount = r.number(first + 12);
    row.display = static_cast<int>(r.integer(first + 13));
    text(14, row.updatedAt);
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
        store->createSchema();
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

std::string currentTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return buffer;
}

}  // namespace server

namespace server {

std::string operationTimestamp() {
    using namespace std::chrono;
    static std::atomic<long long> last{0};
    long long ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    long long seen = last.load();
    while (true) {
        const long long next = ms > seen ? ms : seen + 1;
        if (last.compare_exchange_weak(seen, next)) {
            ms = next;
            break;
        }
    }
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char buffer[40];
    const std::size_t n = std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &utc);
    std::snprintf(buffer + n, sizeof buffer - n, ".%03lld", ms % 1000);
    return buffer;
}

}  // namespace server
