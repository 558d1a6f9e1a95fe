// The screen's side: a lookup against a plain echo, the product list against the raw
// database read, and the picked list parsed into the auxiliary dataset and sent.

#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include "BenchClient.h"
#include "BenchSupport.h"
#include "Lib00210.h"
#include "LookupProbe.h"
#include "data/ClientDataSet.h"
#include "data/DataModule.h"
#include "demodata/LocalDatabase.h"
#include "forms/Application.h"
#include "forms/Form.h"
#include "protocol/JsonRpc.h"
#include "protocol/RuleArguments.h"
#include "protocol/ValueCodec.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"
#include "server/rpc/Dispatcher.h"
#include "server/rpc/PriceService.h"
#include "submit/PickedCodes.h"
#include "units/Pesqlista.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kLookups = 10'000;
constexpr int kProducts = 100'000;

bench::ScratchDir& scratch() {
    static bench::ScratchDir dir;
    return dir;
}

double micros(Clock::time_point start) {
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// The reading methods the screen calls, each against the echo of as many bytes.
struct LookupCase {
    const char* method;
    std::vector<wire::Value> args;
};

const LookupCase& lookupCase(std::int64_t index) {
    static const std::vector<LookupCase> cases = {
        {"GetFilial", {std::string("0001"), std::string("N")}},
        {"GetTabePrec", {std::string("0001")}},
        {"getVigencia", {std::string("0001"), std::string("001"), std::int64_t{0},
                         std::string("T"), std::string("dd/mm/yyyy")}},
    };
    return cases.at(static_cast<std::size_t>(index));
}

void Lookup(benchmark::State& state) {
    const std::string url = bench::sqliteUrl(scratch().file("lookup.db"));
    server::initDatabase(url, true, 200, server::ExistingData::Replace);
    const LookupCase& lookup = lookupCase(state.range(0));
    state.SetLabel(lookup.method);
    for (auto _ : state) {
        try {
            bench::reportLookup(state, bench::measureLookup(url, lookup.method, lookup.args,
                                                            kLookups));
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
    }
}

// The local database of 100,000 products, opened as the host's data module.
vol::DataModule& localDatabase() {
    static vol::DataModule dm;
    if (!dm.connected()) {
        const std::string path = scratch().file("local.db");
        demo::writeLocalDatabase(path, kProducts);
        dm.open(path);
        vol::Application::instance().setDataModule(&dm);
    }
    return dm;
}

// The screen's product datasets: four string fields.
vol::ClientDataSet& productDataSet(vol::Form& form, const std::string& name) {
    auto& d = form.makeComponent<vol::ClientDataSet>(name);
    for (auto [field, size] :
         {std::pair{"IDMARCADO", 1}, {"CDPRODUTO", 10}, {"CDARVPROD", 20}, {"NMPRODUTO", 50}}) {
        vol::FieldDef def;
        def.name = field;
        def.size = size;
        d.addField(def);
    }
    return d;
}

// The floor of the product list: the same query read into plain vectors.
double rawProductRead(sqlite3* db) {
    const auto start = Clock::now();
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT P.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO FROM PRODUTO P, PRODFILI PF"
                       " WHERE PF.CDFILIAL = ?1 AND PF.CDPRODUTO = P.CDPRODUTO"
                       " ORDER BY P.CDARVPROD",
                       -1, &stmt, nullptr);
    sqlite3_bind_text(stmt, 1, "0001", -1, SQLITE_STATIC);
    std::vector<std::string> codes, tree, names;
    auto text = [&](int i) {
        return std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                           static_cast<std::size_t>(sqlite3_column_bytes(stmt, i)));
    };
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        codes.push_back(text(0));
        tree.push_back(text(1));
        names.push_back(text(2));
    }
    sqlite3_finalize(stmt);
    benchmark::DoNotOptimize(names.data());
    return bench::secondsSince(start);
}

void ProductList(benchmark::State& state) {
    vol::DataModule& dm = localDatabase();
    vol::Form form(vol::Application::instance(), "frmBench");
    vol::ClientDataSet& products = productDataSet(form, "cdsProduto");
    for (auto _ : state) {
        const double floor = rawProductRead(dm.handle());
        const auto start = Clock::now();
        lib::SQL_Pesquisa_Produto_CDS("0001", products);
        const double load = bench::secondsSince(start);
        if (products.recordCount() != kProducts) {
            state.SkipWithError("the product list has another number of rows");
            break;
        }
        // The screen looks a typed code up by its tree code, letter case ignored; the
        // last code is the longest search.
        const std::string last = products.cell(kProducts - 1, products.fieldIndex("CDARVPROD"));
        std::vector<double> locates;
        for (int i = 0; i < 50; ++i) {
            products.first();
            const auto at = Clock::now();
            if (!products.locate("CDARVPROD", last, true)) {
                state.SkipWithError("locate missed a listed code");
            }
            locates.push_back(micros(at) / 1000.0);
        }
        state.SetIterationTime(load);
        state.counters["floor_s"] = floor;
        state.counters["load_s"] = load;
        state.counters["ratio"] = load / floor;
        state.counters["locate_ms"] = bench::quantile(locates, 0.5);
    }
}

// The confirm action's list mode: the picked-codes text parsed into cdsProdAux, then the
// rule sent whole to a server over the same products.
void PickedList(benchmark::State& state) {
    const auto count = static_cast<int>(state.range(0));
    const std::vector<std::string> codes = bench::productCodes(count);
    const std::string picked = vol::PickedCodesText(codes);
    const std::string url = bench::sqliteUrl(scratch().file("picked.db"));
    server::initDatabase(url, true, count, server::ExistingData::Replace);
    vol::Form form(vol::Application::instance(), "frmBench");
    vol::ClientDataSet& aux = productDataSet(form, "cdsProdAux");
    for (auto _ : state) {
        bench::clearRules(url);
        server::Server srv(url, "127.0.0.1:0");
        srv.start();
        bench::BenchClient client(srv.port());
        client.call("GetFilial", {std::string("0001"), std::string("N")});  // connected

        // The parse takes milliseconds: the median of several keeps a stray pause of the
        // machine out of the figure.
        std::vector<double> parses;
        for (int i = 0; i < 7; ++i) {
            const auto start = Clock::now();
            aux.createDataSet();
            for (const std::string& code : vnd::parsePickedCodes(picked)) {
                aux.insert();
                aux.fieldByName("CDPRODUTO").setAsString(code);
                aux.post();
            }
            parses.push_back(bench::secondsSince(start));
        }
        const double parse = bench::quantile(parses, 0.5);
        const auto sent = Clock::now();
        std::vector<wire::Value> args = bench::listRule(codes, {count, 1});
        args[wire::ruleArg::kProducts - 1] = aux.packet();
        const long stored = bench::storedRows(client.call("SetPrecDif", args));
        const double send = bench::secondsSince(sent);
        if (aux.recordCount() != count || stored != count) {
            state.SkipWithError("the picked list lost codes");
            break;
        }
        state.SetIterationTime(parse);
        state.counters["parse_ms"] = parse * 1000;
        state.counters["send_ms"] = send * 1000;
        state.counters["codes"] = count;
    }
}

}  // namespace

BENCHMARK(Lookup)->DenseRange(0, 2)->Iterations(1)->Repetitions(3)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(ProductList)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(PickedList)
    ->Arg(10'000)
    ->Arg(100'000)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
