// Many clients at once against one running server: lookups mixed with small stores for
// a fixed time, then every stored row looked for in the database.
//
//   vnd-bench-load --port P --db URL [--clients 32] [--seconds 30]

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>


#include "BenchSupport.h"
#include "protocol/Asio.h"
#include "protocol/JsonRpc.h"
#include "protocol/ValueCodec.h"
#include "server/store/StoreFactory.h"

namespace {

using Clock = std::chrono::steady_clock;
using asio::ip::tcp;

constexpr int kProductsPerStore = 5;
constexpr int kDemoProducts = 200;
constexpr int kStoresPerClient = 365 * 40;  // distinct keys each client can write

struct Options {
    unsigned short port = 0;
    std::string db;
    int clients = 32;
    int seconds = 30;
};

// The key of one small store: its validity day and start time.
struct StoreKey {
    std::string day;   // YYYY-MM-DD, validFrom = validTo
    std::string time;  // HHMM
    int firstProduct;
};

StoreKey keyOf(int client, int k) {
    const wire::Date day = wire::Date::fromDaysSinceEpoch(wire::Date{2026, 1, 1}.daysSinceEpoch() +
                                                          static_cast<long>(k % 365));
    const int minute = client * 40 + (k / 365) % 40;
    char time[16];
    std::snprintf(time, sizeof time, "%02d%02d", minute / 60, minute % 60);
    return {day.iso(), time, (k * kProductsPerStore) % kDemoProducts + 1};
}

std::vector<std::string> productsOf(const StoreKey& key) {
    const auto all = bench::productCodes(kDemoProducts);
    std::vector<std::string> codes;
    for (int i = 0; i < kProductsPerStore; ++i) {
        codes.push_back(all[static_cast<std::size_t>((key.firstProduct - 1 + i) % kDemoProducts)]);
    }
    return codes;
}

struct Totals {
    std::mutex mutex;
    std::vector<double> latencies;  // microseconds
    long requests = 0;
    long errors = 0;
    long storedRows = 0;
    std::vector<std::string> firstErrors;
};

void runClient(const Options& o, int client, Clock::time_point end, Totals& totals) {
    std::vector<double> latencies;
    long requests = 0, errors = 0, stored = 0;
    std::string firstError;
    try {
        asio::io_context io;
        tcp::socket socket(io);
        socket.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), o.port));
        std::string pending;
        long long id = 0;
        int stores = 0;
        for (long i = 0; Clock::now() < end; ++i) {
            std::string method;
            nlohmann::json params;
            long expected = -1;
            if (i % 10 == 9 && stores < kStoresPerClient) {
                const StoreKey key = keyOf(client, stores++);
                const auto codes = productsOf(key);
                const auto args =
                    bench::listRule(codes, {kProductsPerStore, 1}, key.day, key.day, key.time);
                params = nlohmann::json::array();
                for (const wire::Value& a : args) {
                    params.push_back(wire::toJson(a));
                }
                method = "SetPrecDif";
                expected = kProductsPerStore;
            } else if (i % 3 == 0) {
                method = "GetTabePrec";
                params = nlohmann::json::array({"0001"});
            } else if (i % 3 == 1) {
                method = "getVigencia";
                params = nlohmann::json::array({"0001", "001", 0, "T", "dd/mm/yyyy"});
            } else {
                method = "GetFilial";
                params = nlohmann::json::array({"0001", "N"});
            }
            const std::string line =
                wire::encodeRequest(++id, "Vnd42400.rdmTabePreco." + method, params) + "\n";
            const auto start = Clock::now();
            asio::write(socket, asio::buffer(line));
            const std::size_t n = asio::read_until(socket, asio::dynamic_buffer(pending), '\n');
            latencies.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count());
            const wire::CallResult result =
                wire::parseResponse(std::string_view(pending).substr(0, n - 1), id);
            pending.erase(0, n);
            ++requests;
            if (!result.ok) {
                ++errors;
                if (firstError.empty()) {
                    firstError = method + ": " + result.errorMessage;
                }
            } else if (expected >= 0) {
                const auto& answer = std::get<nlohmann::json>(result.value);
                if (answer["stored"].get<long>() != expected ||
                    answer["replaced"].get<long>() != 0) {
                    ++errors;
                    firstError = "SetPrecDif stored another count: " + answer.dump();
                }
                stored += answer["stored"].get<long>();
            }
        }
    } catch (const std::exception& e) {
        ++errors;
        firstError = std::string("client: ") + e.what();
    }
    std::lock_guard lock(totals.mutex);
    totals.latencies.insert(totals.latencies.end(), latencies.begin(), latencies.end());
    totals.requests += requests;
    totals.errors += errors;
    totals.storedRows += stored;
    if (!firstError.empty() && totals.firstErrors.size() < 5) {
        totals.firstErrors.push_back(firstError);
    }
}

// The distinct keys in PRECDIF: every row the clients were told was stored is there once.
long distinctStoredKeys(const Options& o) {
    std::set<std::string> present;
    for (const server::RuleRow& r : server::openStore(o.db)->rules(std::string("0001"), {})) {
        present.insert(r.validFrom.iso() + r.timeStart + r.product);
    }
    return static_cast<long>(present.size());
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        const std::string value = argv[i + 1];
        if (flag == "--port") {
            o.port = static_cast<unsigned short>(std::stoi(value));
        } else if (flag == "--db") {
            o.db = value;
        } else if (flag == "--clients") {
            o.clients = std::stoi(value);
        } else if (flag == "--seconds") {
            o.seconds = std::stoi(value);
        }
    }
    if (o.port == 0 || o.db.empty()) {
        std::fprintf(stderr,
                     "usage: vnd-bench-load --port P --db URL [--clients N] [--seconds S]\n");
        return 2;
    }
    const long before = server::openStore(o.db)->countRules();
    Totals totals;
    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(o.seconds);
    std::vector<std::thread> clients;
    for (int c = 0; c < o.clients; ++c) {
        clients.emplace_back(runClient, std::cref(o), c, end, std::ref(totals));
    }
    for (std::thread& t : clients) {
        t.join();
    }
    const double elapsed = bench::secondsSince(start);
    const long after = server::openStore(o.db)->countRules();
    const long distinct = distinctStoredKeys(o);
    const bool allPresent = after - before == totals.storedRows && distinct == after;

    std::printf("load: %d clients, %.1f s, %ld requests, %.0f requests/s\n", o.clients, elapsed,
                totals.requests, static_cast<double>(totals.requests) / elapsed);
    std::printf("load: latency p50 %.0f us, p99 %.0f us\n", bench::quantile(totals.latencies, 0.5),
                bench::quantile(totals.latencies, 0.99));
    std::printf("load: errors %ld (target 0)\n", totals.errors);
    std::printf("load: rows stored %ld, rows in PRECDIF %ld (%s)\n", totals.storedRows,
                after - before, allPresent ? "every stored row present" : "ROWS MISSING");
    for (const std::string& e : totals.firstErrors) {
        std::printf("load: error: %s\n", e.c_str());
    }
    return totals.errors == 0 && allPresent ? 0 : 1;
}
