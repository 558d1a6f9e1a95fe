// Storing a rule through the real server against the database's own upsert floor.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>

#include "BenchClient.h"
#include "BenchSupport.h"
#include "StoreFloor.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"

namespace {

using Clock = std::chrono::steady_clock;

// One database of reference data per rule size, made once and copied for every run so
// that the floor and the server start from the same file.
const std::string& sqliteTemplate(const bench::ScratchDir& dir, int products) {
    static std::map<int, std::string> made;
    auto it = made.find(products);
    if (it == made.end()) {
        const std::string path = dir.file("template-" + std::to_string(products) + ".db");
        server::initDatabase(bench::sqliteUrl(path), true, products);
        it = made.emplace(products, path).first;
    }
    return it->second;
}

bench::ScratchDir& scratch() {
    static bench::ScratchDir dir;
    return dir;
}

struct ServerStore {
    double seconds = 0;       // the rule's store, from the call to its answer
    double firstSeconds = 0;  // the one-product store before it
};

// Stores the rule through a server over url. The server first stores one product of
// another key, as a running server has stored rules before: a server's first store also
// reads the schema and prepares its statement, which the floor does before its clock
// starts. That first store is reported on its own.
ServerStore storeThroughServer(const std::string& url, const bench::RuleShape& shape,
                               const std::vector<std::string>& codes) {
    server::Server srv(url, "127.0.0.1:0");
    srv.start();
    bench::BenchClient client(srv.port());
    client.call("GetFilial", {std::string("0001"), std::string("N")});  // connected
    ServerStore out;
    bench::RuleShape one = shape;
    one.products = 1;
    const auto first = Clock::now();
    const wire::Value warm = client.call(
        "SetPrecDif", bench::listRule({codes.front()}, one, "2026-02-01", "2026-02-28", "0002"));
    out.firstSeconds = bench::secondsSince(first);
    const std::vector<wire::Value> args = bench::listRule(codes, shape);
    const auto start = Clock::now();
    const wire::Value result = client.call("SetPrecDif", args);
    out.seconds = bench::secondsSince(start);
    if (bench::storedRows(result) != shape.rows() ||
        srv.countRules() != shape.rows() + bench::storedRows(warm)) {
        throw std::runtime_error("the server stored another number of rows");
    }
    return out;
}

// Fresh copies of the template for the floor and the server, and their removal with the
// files SQLite keeps beside them.
void copyTemplate(const std::string& tmpl, const std::string& floorDb, const std::string& serverDb) {
    for (const std::string* to : {&floorDb, &serverDb}) {
        std::filesystem::copy_file(tmpl, *to, std::filesystem::copy_options::overwrite_existing);
    }
}
void removeCopies(const std::string& floorDb, const std::string& serverDb) {
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(floorDb + suffix);
        std::filesystem::remove(serverDb + suffix);
    }
}

void report(benchmark::State& state, double floorSeconds, const ServerStore& project) {
    state.SetIterationTime(project.seconds);
    state.counters["floor_s"] = floorSeconds;
    state.counters["server_s"] = project.seconds;
    state.counters["ratio"] = project.seconds / floorSeconds;
    state.counters["first_store_ms"] = project.firstSeconds * 1000;
    state.counters["rows"] = static_cast<double>(state.range(0));
}

// Stores the rule again over the same keys: every row is replaced and copied into the
// history. The first store (untimed) is also the server's first.
ServerStore replaceThroughServer(const std::string& url, const bench::RuleShape& shape,
                                 const std::vector<std::string>& codes) {
    server::Server srv(url, "127.0.0.1:0");
    srv.start();
    bench::BenchClient client(srv.port());
    const std::vector<wire::Value> args = bench::listRule(codes, shape);
    ServerStore out;
    const auto first = Clock::now();
    client.call("SetPrecDif", args);
    out.firstSeconds = bench::secondsSince(first);
    const auto start = Clock::now();
    const wire::Value result = client.call("SetPrecDif", args);
    out.seconds = bench::secondsSince(start);
    const auto* json = std::get_if<nlohmann::json>(&result);
    if (json == nullptr || json->value("replaced", 0L) != shape.rows()) {
        throw std::runtime_error("the second store replaced another number of rows");
    }
    return out;
}

// Both sides start from copies of one file. A new rule is upserted; a replaced one is
// first stored untimed by both, then stored again, each replaced row copied into the
// history (the floor by an INSERT ... SELECT per row before its upsert).
void sqliteStores(benchmark::State& state, bool replace) {
    const bench::RuleShape shape = bench::shapeForRows(state.range(0));
    const std::vector<std::string> codes = bench::productCodes(shape.products);
    const bench::FloorRows floorRows{codes, bench::dayCodes(shape)};
    const std::string& tmpl = sqliteTemplate(scratch(), shape.products);
    const std::string floorDb = scratch().file("floor.db");
    const std::string serverDb = scratch().file("server.db");
    for (auto _ : state) {
        try {
            copyTemplate(tmpl, floorDb, serverDb);
            double floor = 0;
            ServerStore project;
            if (replace) {
                // Both stores name every product in the change log, as the server does.
                bench::sqliteUpsertFloor(floorDb, floorRows, bench::FloorHistory::CopyReplacedAndLog);
                floor = bench::sqliteUpsertFloor(floorDb, floorRows,
                                                 bench::FloorHistory::CopyReplacedAndLog);
                project = replaceThroughServer(bench::sqliteUrl(serverDb), shape, codes);
                const char* history = "SELECT COUNT(*) FROM PRECDIFHIST";
                if (bench::countRows(serverDb, history) != shape.rows() ||
                    bench::countRows(floorDb, history) != shape.rows()) {
                    throw std::runtime_error("the history holds another number of rows");
                }
                const char* changes = "SELECT COUNT(*) FROM ALTPRECO";
                if (bench::countRows(serverDb, changes) != bench::countRows(floorDb, changes)) {
                    throw std::runtime_error("the change log holds another number of rows");
                }
            } else {
                floor = bench::sqliteUpsertFloor(floorDb, floorRows);
                project = storeThroughServer(bench::sqliteUrl(serverDb), shape, codes);
            }
            report(state, floor, project);
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
        removeCopies(floorDb, serverDb);
    }
}

void StoreSqlite(benchmark::State& state) {
    sqliteStores(state, false);
}

void StoreSqliteReplace(benchmark::State& state) {
    sqliteStores(state, true);
}

void StorePostgres(benchmark::State& state) {
    const auto url = bench::postgresUrl();
    if (!url) {
        state.SkipWithError("no PostgreSQL (VND_BENCH_PG_URL not set)");
        for (auto _ : state) {
        }
        return;
    }
    const bench::RuleShape shape = bench::shapeForRows(state.range(0));
    const std::vector<std::string> codes = bench::productCodes(shape.products);
    const bench::FloorRows floorRows{codes, bench::dayCodes(shape)};
    static int loaded = -1;
    for (auto _ : state) {
        try {
            if (loaded != shape.products) {
                server::initDatabase(*url, true, shape.products, server::ExistingData::Replace);
                loaded = shape.products;
            }
            bench::clearRules(*url);
            const double floor = bench::postgresCopyMergeFloor(*url, floorRows);
            bench::clearRules(*url);
            const ServerStore project = storeThroughServer(*url, shape, codes);
            bench::clearRules(*url);
            report(state, floor, project);
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
    }
}

// Each repetition is one store of the whole rule; the million-row case is repeated less
// when the script asks for a short run (VND_BENCH_QUICK).
int repetitions() {
    const char* quick = std::getenv("VND_BENCH_QUICK");
    return quick != nullptr && *quick == '1' ? 1 : 3;
}

}  // namespace

// Both backends store the same three sizes, once per repetition.
void storeSizes(benchmark::internal::Benchmark* b) {
    b->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Iterations(1)->Repetitions(repetitions());
    b->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(StoreSqlite)->Apply(storeSizes);
BENCHMARK(StorePostgres)->Apply(storeSizes);
BENCHMARK(StoreSqliteReplace)
    ->Arg(100'000)
    ->Iterations(1)
    ->Repetitions(repetitions())
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
