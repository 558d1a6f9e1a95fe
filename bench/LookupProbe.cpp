#include "LookupProbe.h"

#include <benchmark/benchmark.h>

#include <stdexcept>

#include "BenchClient.h"
#include "BenchSupport.h"
#include "EchoServer.h"
#include "protocol/JsonRpc.h"
#include "protocol/ValueCodec.h"
#include "server/rpc/Dispatcher.h"
#include "server/service/PriceService.h"
#include "server/net/Server.h"
#include "server/store/StoreFactory.h"

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

double micros(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// Times fn `calls` times; the samples in microseconds.
template <class Fn>
std::vector<double> timed(int calls, Fn&& fn) {
    std::vector<double> samples;
    samples.reserve(static_cast<std::size_t>(calls));
    for (int i = 0; i < calls; ++i) {
        const auto start = Clock::now();
        fn();
        samples.push_back(micros(start));
    }
    return samples;
}

}  // namespace

LookupFigures measureLookup(const std::string& url, const std::string& method,
                            const std::vector<wire::Value>& args, int calls) {
    nlohmann::json params = nlohmann::json::array();
    for (const wire::Value& v : args) {
        params.push_back(wire::toJson(v));
    }
    const std::string line =
        wire::encodeRequest(1, std::string(server::kObjectName) + "." + method, params);
    const std::string request = line + "\n";
    server::PriceService service(server::openStore(url));
    LookupFigures out;
    {
        // The server's own work, without any socket: parse, query, encode.
        server::Dispatcher dispatcher(service);
        const auto answer = dispatcher.handle(line);
        if (!answer || answer->find("\"error\"") != std::string::npos) {
            throw std::runtime_error(method + " answered an error: " + answer.value_or(""));
        }
        // The echo exchanges as many bytes as the real call: the same request line and a
        // reply as long as the server's answer.
        out.bytes = request.size() + answer->size() + 1;
        auto inside = timed(calls, [&] { benchmark::DoNotOptimize(dispatcher.handle(line)); });
        out.dispatchMedian = quantile(inside, 0.5);
        EchoServer echoServer(*answer + "\n");
        EchoClient client(echoServer.port());
        auto echo = timed(calls, [&] { client.roundTrip(request); });
        out.echoMedian = quantile(echo, 0.5);
        out.echoP99 = quantile(echo, 0.99);
    }
    server::Server srv(url, "127.0.0.1:0");
    srv.start();
    {
        // The real server seen through the echo's plain client: what is left of the
        // lookup's time beside this is the client's.
        EchoClient rawClient(srv.port());
        auto raw = timed(calls, [&] { rawClient.roundTrip(request); });
        out.serverMedian = quantile(raw, 0.5);
    }
    BenchClient client(srv.port());
    client.call(method, args);  // connected
    auto lookup = timed(calls, [&] { client.call(method, args); });
    out.median = quantile(lookup, 0.5);
    out.p99 = quantile(lookup, 0.99);
    return out;
}

void reportLookup(benchmark::State& state, const LookupFigures& f) {
    state.SetIterationTime(f.median / 1e6);
    state.counters["dispatch_median_us"] = f.dispatchMedian;
    state.counters["server_median_us"] = f.serverMedian;
    state.counters["echo_median_us"] = f.echoMedian;
    state.counters["echo_p99_us"] = f.echoP99;
    state.counters["median_us"] = f.median;
    state.counters["p99_us"] = f.p99;
    state.counters["ratio_median"] = f.median / f.echoMedian;
    state.counters["ratio_p99"] = f.p99 / f.echoP99;
    state.counters["bytes"] = static_cast<double>(f.bytes);
}

}  // namespace bench
