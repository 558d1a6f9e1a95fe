#include "PriceDatabase.h"

#include <filesystem>
#include <stdexcept>

#include <sqlite3.h>

#include "BenchClient.h"
#include "protocol/JsonRpc.h"
#include "protocol/ValueCodec.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"
#include "server/rpc/Dispatcher.h"

namespace bench {

namespace {

// Moves the write-ahead log into the file, so that every run reads the same file.
void checkpoint(const std::string& path) {
    sqlite3* db = nullptr;
    const bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr,
                                 nullptr) == SQLITE_OK;
    sqlite3_close(db);
    if (!ok) {
        throw std::runtime_error("the log of " + path + " could not be checkpointed");
    }
}

}  // namespace

const std::vector<AllProductsRule>& fiveRules() {
    static const std::vector<AllProductsRule> rules = {
        {'T', "T", "0001", "2359", "2026-01-01", "2026-12-31", false, 0.50},
        {'2', "01", "0800", "1200", "2026-02-01", "2026-02-28", true, 10},
        {'F', "02", "1000", "1800", "2026-01-01", "2026-06-30", false, 1.25},
        {'V', "T", "1100", "1130", "2026-02-01", "2026-03-31", true, 5},
        {'7', "01", "1800", "2200", "2026-01-01", "2026-12-31", false, 2},
    };
    return rules;
}

std::vector<wire::Value> momentArgs() {
    return {std::string("01"), *wire::Date::fromIso("2026-02-16"), std::string("11:15")};
}

const std::string& priceDatabase() {
    static ScratchDir scratch;
    static const std::string path = [] {
        const char* kept = std::getenv("VND_BENCH_PRICE_DB");
        const std::string p = kept != nullptr && *kept != '\0' ? kept : scratch.file("price.db");
        if (std::filesystem::exists(p) &&
            countRows(p, "SELECT COUNT(*) FROM PRECDIF") == kPriceRules) {
            return p;
        }
        const std::string url = sqliteUrl(p);
        server::initDatabase(url, true, kPriceProducts, server::ExistingData::Replace);
        clearRules(url);
        server::Server srv(url, "127.0.0.1:0");
        srv.start();
        BenchClient client(srv.port());
        for (const AllProductsRule& rule : fiveRules()) {
            if (storedRows(client.call("SetPrecDif", allProductsRule(rule))) != kPriceProducts) {
                throw std::runtime_error("a rule over every product stored another count");
            }
        }
        if (srv.countRules() != kPriceRules) {
            throw std::runtime_error("the five rules are not 625,000 rows");
        }
        srv.stop();
        checkpoint(p);
        return p;
    }();
    return path;
}

std::string requestLine(const std::string& method, const std::vector<wire::Value>& args, long id) {
    nlohmann::json params = nlohmann::json::array();
    for (const wire::Value& v : args) {
        params.push_back(wire::toJson(v));
    }
    return wire::encodeRequest(id, std::string(server::kObjectName) + "." + method, params);
}

}  // namespace bench
