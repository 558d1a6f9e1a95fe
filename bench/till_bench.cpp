// The tills: how soon a following till's file holds a store, what thousands of waiting
// tills cost the server, a till's first load against the price book call, and prices
// answered from the till's file, each beside its floor or target of the same run.

#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <streambuf>
#include <thread>

#include "BenchClient.h"
#include "BenchSupport.h"
#include "EchoServer.h"
#include "PriceBookFloor.h"
#include "PriceDatabase.h"
#include "ServerProcess.h"
#include "WaitingTills.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"
#include "till/TillReplica.h"

namespace {

using Clock = std::chrono::steady_clock;

bool quick() {
    const char* q = std::getenv("VND_BENCH_QUICK");
    return q != nullptr && *q == '1';
}

int repetitions() {
    return quick() ? 1 : 3;
}

bench::ScratchDir& scratch() {
    static bench::ScratchDir dir;
    return dir;
}

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

till::TillSource sourceAt(unsigned short port) {
    till::TillSource source;
    source.host = "127.0.0.1";
    source.port = port;
    source.branch = "0001";
    source.table = "001";
    return source;
}

void removeTillFile(const std::string& path) {
    for (const char* suffix : {"", "-journal", ".novo", ".novo-journal"}) {
        std::filesystem::remove(path + suffix);
    }
}

// The change number a till's file holds, read by a connection of its own.
class TillFileProbe {
  public:
    explicit TillFileProbe(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
            sqlite3_prepare_v2(db_, "SELECT NRALTERACAO FROM ESTADO", -1, &stmt_, nullptr) !=
                SQLITE_OK) {
            sqlite3_close(db_);
            throw std::runtime_error("the till's file cannot be read: " + path);
        }
        // While the till commits, the read is tried again every 100 us: SQLite's own
        // busy wait backs off by whole milliseconds, which the figure would count.
        sqlite3_busy_handler(
            db_, [](void*, int tries) {
                std::this_thread::sleep_for(std::chrono::microseconds(100));
                return tries < 100'000 ? 1 : 0;
            },
            nullptr);
    }
    ~TillFileProbe() {
        sqlite3_finalize(stmt_);
        sqlite3_close(db_);
    }
    long long number() {
        const long long n = sqlite3_step(stmt_) == SQLITE_ROW ? sqlite3_column_int64(stmt_, 0) : -1;
        sqlite3_reset(stmt_);
        return n;
    }

  private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

struct CatchUpFigures {
    std::vector<double> tillMs;    // the followed till's file, per store
    std::vector<double> othersMs;  // the other tills' data fetched, per store and till
};

// `stores` stores of one product and one day through storePort, one after the other, each
// when every till holds the one before; a real replica follows followPort (its file read
// every millisecond) beside tills - 1 simulated ones.
CatchUpFigures catchUp(unsigned short storePort, unsigned short followPort, int tills, int stores,
                       const std::string& tillPath) {
    removeTillFile(tillPath);
    till::TillReplica replica(tillPath, sourceAt(followPort));
    const long long first = replica.syncOnce();
    std::atomic<bool> stop{false};
    std::ostringstream followLog;
    std::thread follower([&] { replica.follow(stop, followLog); });
    struct Join {
        std::atomic<bool>& stop;
        std::thread& thread;
        ~Join() {
            stop = true;
            thread.join();
        }
    } join{stop, follower};
    std::optional<bench::WaitingTills> others;
    if (tills > 1) {
        others.emplace(followPort, tills - 1, first, bench::TillMode::Follow);
    }
    TillFileProbe probe(tillPath);
    bench::BenchClient client(storePort);
    const std::vector<std::string> codes = bench::productCodes(stores);
    std::vector<Clock::time_point> answered;
    CatchUpFigures out;
    for (int i = 0; i < stores; ++i) {
        const std::vector<wire::Value> args = bench::listRule({codes[static_cast<std::size_t>(i)]},
                                                              bench::RuleShape{1, 1});
        client.call("SetPrecDif", args);
        const auto at = Clock::now();
        answered.push_back(at);
        // Each store is one change: its number is the next one.
        const long long number = first + i + 1;
        const auto limit = at + std::chrono::seconds(20);
        while (probe.number() < number) {
            if (Clock::now() > limit) {
                throw std::runtime_error("the till's file did not reach change " +
                                         std::to_string(number) + ": " + followLog.str());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        out.tillMs.push_back(msBetween(at, Clock::now()));
        while (others && static_cast<long>(others->arrivals().size()) <
                             static_cast<long>(i + 1) * (tills - 1)) {
            if (Clock::now() > limit) {
                throw std::runtime_error("the simulated tills did not all fetch change " +
                                         std::to_string(number) + ": " + others->firstFailure());
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    if (others) {
        for (const auto& a : others->arrivals()) {
            const long long store = a.number - first - 1;
            if (store >= 0 && store < stores) {
                out.othersMs.push_back(msBetween(answered[static_cast<std::size_t>(store)], a.at));
            }
        }
        if (others->failures() != 0) {
            throw std::runtime_error("simulated tills failed: " + others->firstFailure());
        }
    }
    return out;
}

void reportCatchUp(benchmark::State& state, CatchUpFigures& f) {
    const double p99 = bench::quantile(f.tillMs, 0.99);
    state.SetIterationTime(p99 / 1000);
    state.counters["p50_ms"] = bench::quantile(f.tillMs, 0.5);
    state.counters["p99_ms"] = p99;
    state.counters["max_ms"] = bench::quantile(f.tillMs, 1.0);
    if (!f.othersMs.empty()) {
        state.counters["others_p50_ms"] = bench::quantile(f.othersMs, 0.5);
        state.counters["others_p99_ms"] = bench::quantile(f.othersMs, 0.99);
    }
    state.counters["tills"] = static_cast<double>(state.range(0));
}

server::ServerOptions manyTills() {
    server::ServerOptions options;
    options.maxConnections = 3000;
    options.maxUnauthenticated = 3000;
    return options;
}

constexpr int kStores = 200;

// The store and the tills on one server over a SQLite file.
void CatchUpSqlite(benchmark::State& state) {
    const std::string db = scratch().file("catchup.db");
    for (auto _ : state) {
        try {
            std::filesystem::remove(db);
            server::initDatabase(bench::sqliteUrl(db), true);
            server::Server srv(bench::sqliteUrl(db), "127.0.0.1:0", manyTills());
            srv.start();
            CatchUpFigures f = catchUp(srv.port(), srv.port(), static_cast<int>(state.range(0)),
                                       kStores, scratch().file("catchup-till.db"));
            reportCatchUp(state, f);
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
    }
}

// The store through one server, the tills following a second one of the same database.
void CatchUpPostgres(benchmark::State& state) {
    const auto url = bench::postgresUrl();
    if (!url) {
        state.SkipWithError("no PostgreSQL (VND_BENCH_PG_URL not set)");
        for (auto _ : state) {
        }
        return;
    }
    for (auto _ : state) {
        try {
            server::initDatabase(*url, true, demo::kDefaultProducts, server::ExistingData::Replace);
            server::Server storing(*url, "127.0.0.1:0", manyTills());
            server::Server following(*url, "127.0.0.1:0", manyTills());
            storing.start();
            following.start();
            CatchUpFigures f = catchUp(storing.port(), following.port(),
                                       static_cast<int>(state.range(0)), kStores,
                                       scratch().file("catchup-till-pg.db"));
            reportCatchUp(state, f);
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
    }
}

// GetFilial round trips of a plain blocking client, in microseconds.
std::vector<double> lookups(unsigned short port, int calls) {
    bench::EchoClient plain(port);
    const std::string line =
        bench::requestLine("GetFilial", {std::string("0001"), std::string("N")}, 1) + "\n";
    for (int i = 0; i < 100; ++i) {
        plain.roundTrip(line);
    }
    std::vector<double> us;
    us.reserve(static_cast<std::size_t>(calls));
    for (int i = 0; i < calls; ++i) {
        const auto start = Clock::now();
        plain.roundTrip(line);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    return us;
}

// 2,000 tills waiting in GetAlteracoes on a server of its own: its memory and threads,
// and its lookups, with and without them.
void WaitingTillsCost(benchmark::State& state) {
    const int tills = static_cast<int>(state.range(0));
    const int calls = quick() ? 2000 : 5000;
    const std::string db = scratch().file("waiting.db");
    for (auto _ : state) {
        try {
            std::filesystem::remove(db);
            server::initDatabase(bench::sqliteUrl(db), true);
            bench::ServerProcess srv(bench::sqliteUrl(db), scratch().file("waiting.log"),
                                     // The tills connect at once, faster than the server
                                     // admits them: none is dropped as a stalled login.
                                     {"--max-connections", std::to_string(tills + 100),
                                      "--max-unauthenticated", std::to_string(tills)});
            std::vector<double> before = lookups(srv.port(), calls);
            const double rssBefore = bench::procStatus(srv.pid(), "VmRSS");
            const double threadsBefore = bench::procStatus(srv.pid(), "Threads");
            std::vector<double> with;
            double rssWith = 0, threadsWith = 0;
            {
                bench::WaitingTills waiting(srv.port(), tills, 0, bench::TillMode::Wait, 60000);
                // Every till has read the log and waits.
                std::this_thread::sleep_for(std::chrono::seconds(3));
                rssWith = bench::procStatus(srv.pid(), "VmRSS");
                threadsWith = bench::procStatus(srv.pid(), "Threads");
                with = lookups(srv.port(), calls);
                if (waiting.failures() != 0) {
                    throw std::runtime_error("waiting tills failed: " + waiting.firstFailure());
                }
            }
            std::this_thread::sleep_for(std::chrono::seconds(1));
            std::vector<double> after = lookups(srv.port(), calls);
            before.insert(before.end(), after.begin(), after.end());
            const double withMedian = bench::quantile(with, 0.5);
            const double withoutMedian = bench::quantile(before, 0.5);
            state.SetIterationTime(withMedian / 1e6);
            state.counters["rss_before_mb"] = rssBefore / 1024;
            state.counters["rss_with_mb"] = rssWith / 1024;
            state.counters["rss_added_mb"] = (rssWith - rssBefore) / 1024;
            state.counters["threads_before"] = threadsBefore;
            state.counters["threads_with"] = threadsWith;
            state.counters["lookup_without_us"] = withoutMedian;
            state.counters["lookup_with_us"] = withMedian;
            state.counters["lookup_without_p99_us"] = bench::quantile(before, 0.99);
            state.counters["lookup_with_p99_us"] = bench::quantile(with, 0.99);
            state.counters["ratio_lookup"] = withMedian / withoutMedian;
            state.counters["tills"] = tills;
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
    }
}

std::vector<wire::Value> bookArgs() {
    std::vector<wire::Value> args{std::string("0001"), std::string("001")};
    for (wire::Value& v : bench::momentArgs()) {
        args.push_back(std::move(v));
    }
    return args;
}

// A till's first sync of the branch into a new file against the whole price book over
// TCP read by a plain client just before it.
void TillFirstLoad(benchmark::State& state) {
    const std::string url = bench::sqliteUrl(bench::priceDatabase());
    const std::string line = bench::requestLine("GetPrecosVigentes", bookArgs(), 1) + "\n";
    const std::string path = scratch().file("first-load-till.db");
    for (auto _ : state) {
        try {
            server::Server srv(url, "127.0.0.1:0");
            srv.start();
            double book = 0;
            {
                bench::EchoClient plain(srv.port());
                plain.roundTrip(bench::requestLine("GetFilial", {std::string("0001"),
                                                                 std::string("N")}, 2) + "\n");
                const auto start = Clock::now();
                plain.roundTrip(line);
                book = bench::secondsSince(start);
            }
            removeTillFile(path);
            till::TillReplica replica(path, sourceAt(srv.port()));
            const auto start = Clock::now();
            replica.syncOnce();
            const double load = bench::secondsSince(start);
            const till::TillStatus status = replica.status();
            if (status.products != bench::kPriceProducts || status.rules != bench::kPriceRules) {
                throw std::runtime_error("the till's file holds another number of rows");
            }
            state.SetIterationTime(load);
            state.counters["book_s"] = book;
            state.counters["load_s"] = load;
            state.counters["ratio"] = load / book;
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
    }
}

// A till's file of the branch, loaded once per process, or kept in the file
// VND_BENCH_TILL_DB names (loaded there when it does not hold the branch yet).
const std::string& tillFile() {
    static const std::string path = [] {
        const char* kept = std::getenv("VND_BENCH_TILL_DB");
        const std::string p = kept != nullptr && *kept != '\0' ? kept : scratch().file("priced-till.db");
        if (std::filesystem::exists(p) &&
            bench::countRows(p, "SELECT COUNT(*) FROM PRECDIF") == bench::kPriceRules) {
            return p;
        }
        server::Server srv(bench::sqliteUrl(bench::priceDatabase()), "127.0.0.1:0");
        srv.start();
        removeTillFile(p);
        till::TillReplica(p, sourceAt(srv.port())).syncOnce();
        return p;
    }();
    return path;
}

constexpr const char* kMoment = "2026-02-16 11:15";

// TillReplica::price from the file, products spread over the branch, on one core.
void TillPrice(benchmark::State& state) {
    const int calls = quick() ? 20'000 : 50'000;
    for (auto _ : state) {
        try {
            till::TillReplica replica(tillFile());
            char code[16];
            const auto start = Clock::now();
            const std::clock_t cpu = std::clock();
            for (long i = 0; i < calls; ++i) {
                std::snprintf(code, sizeof code, "%010ld", (i * 104729L) % bench::kPriceProducts + 1);
                benchmark::DoNotOptimize(replica.price(code, "01", kMoment));
            }
            const double cpuSeconds = static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC;
            const double seconds = bench::secondsSince(start);
            state.SetIterationTime(seconds / calls);
            state.counters["answers_per_s"] = calls / seconds;
            state.counters["answers_per_cpu_s"] = calls / cpuSeconds;
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
    }
}

// Takes what is written and keeps none of it.
class Discard : public std::streambuf {
  protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// The whole price book written from the file (CSV, thrown away) against the SQLite C API
// reading the same rows of the file just before it.
void TillPriceBook(benchmark::State& state) {
    bench::FloorBook book;
    for (auto _ : state) {
        try {
            const std::string& path = tillFile();
            const double floor = bench::sqlitePriceBookFloor(path, book, bench::BookSource::TillFile);
            if (book.products.size() != bench::kPriceProducts) {
                throw std::runtime_error("the floor read another number of products");
            }
            Discard discard;
            std::ostream out(&discard);
            const auto start = Clock::now();
            till::TillReplica(path).writePrices("01", kMoment, true, out);
            const double seconds = bench::secondsSince(start);
            state.SetIterationTime(seconds);
            state.counters["floor_s"] = floor;
            state.counters["book_s"] = seconds;
            state.counters["ratio"] = seconds / floor;
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
    }
}

}  // namespace

BENCHMARK(CatchUpSqlite)->Arg(1)->Arg(200)->Iterations(1)->Repetitions(1)->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(CatchUpPostgres)->Arg(1)->Arg(200)->Iterations(1)->Repetitions(1)->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(WaitingTillsCost)->Arg(2000)->Iterations(1)->Repetitions(1)->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(TillFirstLoad)->Iterations(1)->Repetitions(repetitions())->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(TillPrice)->Iterations(1)->Repetitions(repetitions())->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(TillPriceBook)->Iterations(1)->Repetitions(repetitions())->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
