// The pricing methods against floors measured in the same run: the price book of a
// 125,000-product branch with five stored rules over every product, one price with its
// explanation, and that price asked by 32 clients at once.
//
// The database is made once (VND_BENCH_PRICE_DB names a file to keep it between runs,
// as scripts/bench does for its pinned and unpinned runs).

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>


#include "BenchClient.h"
#include "BenchSupport.h"
#include "EchoServer.h"
#include "LookupProbe.h"
#include "PriceBookFloor.h"
#include "PriceDatabase.h"
#include "protocol/Asio.h"
#include "protocol/JsonRpc.h"
#include "protocol/ValueCodec.h"
#include "server/net/Server.h"
#include "server/rpc/Dispatcher.h"
#include "server/rpc/PriceService.h"
#include "server/store/StoreFactory.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kProducts = bench::kPriceProducts;
constexpr long kRules = bench::kPriceRules;
constexpr int kLookups = 10'000;

bool quick() {
    const char* q = std::getenv("VND_BENCH_QUICK");
    return q != nullptr && *q == '1';
}

using bench::momentArgs;
using bench::priceDatabase;
using bench::requestLine;

std::vector<wire::Value> bookArgs() {
    std::vector<wire::Value> args{std::string("0001"), std::string("001")};
    for (wire::Value& v : momentArgs()) {
        args.push_back(std::move(v));
    }
    return args;
}

// The price book: (a) the server's own work (parse, read, resolve, answer, no socket) and
// (b) the whole call over TCP, each against the floor read just before it.
void PriceBook(benchmark::State& state) {
    const std::string path = priceDatabase();
    const std::string url = bench::sqliteUrl(path);
    const std::vector<wire::Value> args = bookArgs();
    const std::string line = requestLine("GetPrecosVigentes", args, 1);
    bench::FloorBook book;
    for (auto _ : state) {
        try {
            double ownFloor = bench::sqlitePriceBookFloor(path, book);
            if (book.products.size() != kProducts ||
                book.rules.size() != static_cast<std::size_t>(kRules)) {
                throw std::runtime_error("the floor read another number of rows");
            }
            std::size_t answerBytes = 0;
            double own = 0;
            {
                server::PriceService service(server::openStore(url));
                server::Dispatcher dispatcher(service);
                const auto start = Clock::now();
                const auto answer = dispatcher.handle(line);
                own = bench::secondsSince(start);
                if (!answer || answer->find("\"result\"") == std::string::npos) {
                    throw std::runtime_error("GetPrecosVigentes failed: " +
                                             answer.value_or("").substr(0, 300));
                }
                answerBytes = answer->size();
            }
            const double tcpFloor = bench::sqlitePriceBookFloor(path, book);
            server::Server srv(url, "127.0.0.1:0");
            srv.start();
            double raw = 0;
            {
                // The answer line as it leaves the server, read by a plain blocking client.
                bench::EchoClient plain(srv.port());
                const auto start = Clock::now();
                const std::size_t n = plain.roundTrip(line + "\n");
                raw = bench::secondsSince(start);
                if (n != answerBytes + 1) {
                    throw std::runtime_error("the answer over TCP has another size");
                }
            }
            const double clientFloor = bench::sqlitePriceBookFloor(path, book);
            bench::BenchClient client(srv.port());
            client.call("GetFilial", {std::string("0001"), std::string("N")});  // connected
            const auto start = Clock::now();
            const wire::Value result = client.call("GetPrecosVigentes", args);
            const double call = bench::secondsSince(start);
            const auto* packet = std::get_if<wire::DataPacket>(&result);
            if (packet == nullptr || packet->rows.size() != kProducts) {
                throw std::runtime_error("the price book has another number of rows");
            }
            state.SetIterationTime(own);
            state.counters["floor_s"] = ownFloor;
            state.counters["own_s"] = own;
            state.counters["ratio_own"] = own / ownFloor;
            state.counters["tcp_floor_s"] = tcpFloor;
            state.counters["tcp_s"] = raw;
            state.counters["ratio_tcp"] = raw / tcpFloor;
            state.counters["client_floor_s"] = clientFloor;
            state.counters["client_s"] = call;
            state.counters["ratio_client"] = call / clientFloor;
            state.counters["answer_mb"] = static_cast<double>(answerBytes) / 1e6;
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
    }
}

// One price with its explanation, against the echo of as many bytes.
void PriceLookup(benchmark::State& state) {
    const std::string url = bench::sqliteUrl(priceDatabase());
    std::vector<wire::Value> args{std::string("0001"), std::string("001"),
                                  std::string("0000061234")};
    for (wire::Value& v : momentArgs()) {
        args.push_back(std::move(v));
    }
    for (auto _ : state) {
        try {
            bench::reportLookup(state, bench::measureLookup(url, "GetPrecoVigente", args,
                                                            kLookups));
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
    }
}

struct LoadTotals {
    std::mutex mutex;
    std::vector<double> latencies;  // microseconds
    long answered = 0;
    long errors = 0;
    std::string firstError;
};

// One client: blocking calls of GetPrecoVigente for products spread over the branch
// until `end`; every answer that is not a result is an error.
void priceClient(unsigned short port, int client, Clock::time_point end, LoadTotals& totals) {
    using asio::ip::tcp;
    std::vector<double> latencies;
    long answered = 0, errors = 0;
    std::string firstError;
    try {
        asio::io_context io;
        tcp::socket socket(io);
        socket.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
        socket.set_option(tcp::no_delay(true));
        std::string pending;
        char code[16];
        for (long i = 0; Clock::now() < end; ++i) {
            std::snprintf(code, sizeof code, "%010ld", (client * 7919L + i * 104729L) % kProducts + 1);
            std::vector<wire::Value> args{std::string("0001"), std::string("001"), std::string(code)};
            for (wire::Value& v : momentArgs()) {
                args.push_back(std::move(v));
            }
            const std::string request = requestLine("GetPrecoVigente", args, i + 1) + "\n";
            const auto start = Clock::now();
            asio::write(socket, asio::buffer(request));
            const std::size_t n = asio::read_until(socket, asio::dynamic_buffer(pending), '\n');
            latencies.push_back(
                std::chrono::duration<double, std::micro>(Clock::now() - start).count());
            const std::string_view answer(pending.data(), n);
            if (answer.find("\"result\":{") != std::string_view::npos) {
                ++answered;
            } else {
                ++errors;
                if (firstError.empty()) {
                    firstError = std::string(answer.substr(0, 300));
                }
            }
            pending.erase(0, n);
        }
    } catch (const std::exception& e) {
        ++errors;
        firstError = e.what();
    }
    std::lock_guard lock(totals.mutex);
    totals.latencies.insert(totals.latencies.end(), latencies.begin(), latencies.end());
    totals.answered += answered;
    totals.errors += errors;
    if (totals.firstError.empty()) {
        totals.firstError = firstError;
    }
}

// 32 clients asking prices at once, on both cores.
void PriceLoad(benchmark::State& state) {
    const std::string url = bench::sqliteUrl(priceDatabase());
    const int clients = static_cast<int>(state.range(0));
    const auto seconds = std::chrono::seconds(quick() ? 5 : 15);
    for (auto _ : state) {
        const double rssBefore = bench::procStatus(getpid(), "VmRSS");
        server::Server srv(url, "127.0.0.1:0");
        srv.start();
        LoadTotals totals;
        const auto begin = Clock::now();
        const auto end = begin + seconds;
        std::vector<std::thread> threads;
        for (int c = 0; c < clients; ++c) {
            threads.emplace_back(priceClient, srv.port(), c, end, std::ref(totals));
        }
        for (std::thread& t : threads) {
            t.join();
        }
        const double elapsed = bench::secondsSince(begin);
        // What the server holds in memory after the load: the prices of most products
        // asked for, within the default bound.
        const double rssAfter = bench::procStatus(getpid(), "VmRSS");
        srv.stop();
        if (!totals.firstError.empty()) {
            std::fprintf(stderr, "PriceLoad: first error: %s\n", totals.firstError.c_str());
        }
        state.SetIterationTime(elapsed);
        state.counters["answered_per_s"] = static_cast<double>(totals.answered) / elapsed;
        state.counters["errors"] = static_cast<double>(totals.errors);
        state.counters["p50_us"] = bench::quantile(totals.latencies, 0.5);
        state.counters["p99_us"] = bench::quantile(totals.latencies, 0.99);
        state.counters["clients"] = clients;
        state.counters["rss_before_mb"] = rssBefore / 1024;
        state.counters["rss_after_mb"] = rssAfter / 1024;
    }
}

int repetitions() {
    return quick() ? 1 : 3;
}

}  // namespace

BENCHMARK(PriceBook)
    ->Iterations(1)
    ->Repetitions(repetitions())
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(PriceLookup)
    ->Iterations(1)
    ->Repetitions(repetitions())
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(PriceLoad)
    ->Arg(32)
    ->Iterations(1)
    ->Repetitions(repetitions())
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
