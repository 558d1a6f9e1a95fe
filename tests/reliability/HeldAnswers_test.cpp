// A long-running server answers what the database holds, whatever it keeps in memory:
// after every random change, made through that server, through a second server on the
// same database or by the command line, each method that only reads is asked, with
// arguments that touch what changed and what did not, and its answer compared byte for
// byte with a server started afresh on the database after the change. A change through
// the long-running server shows at once; one by another process within kBound. The seed
// is printed; VND_TEST_SEED=N makes the same changes again.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "LineClient.h"
#include "RandomChanges.h"
#include "RuleArguments.h"
#include "ServerProcess.h"
#include "TestDatabase.h"
#include "TillProcess.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using reliability::DemoTable;
using reliability::kDemoProducts;
using reliability::kDemoTables;
using reliability::productCode;
using reliability::Touched;
using testdb::Backend;
using Clock = std::chrono::steady_clock;

constexpr auto kPoll = std::chrono::milliseconds(20);
// Generous for the sanitizer build: the server's promise is 200 ms.
constexpr auto kBound = std::chrono::seconds(2);
// Probes a change is looked at from: the first at what it touched, the others anywhere.
constexpr int kProbes = 4;
const std::vector<std::string> kServeOptions = {"--log-level", "warning"};

// Where the reading calls after one change look.
struct Probe {
    std::string branch, table, product, lastProduct, type, day;
    wire::Date date;
    std::string time;                   // HH:MM
    std::optional<std::string> period;  // a period's start, or every period
    long long since = 0;
    int year = 2026;
    bool all = false;
    json rule;  // SetPrecDif's arguments, for the dry run
};

json date(const wire::Date& d) {
    return {{"$date", d.iso()}};
}
json periodOrNull(const Probe& p) {
    return p.period ? json{{"$date", *p.period}} : json();
}

// Every method that only reads, and its arguments from a probe.
struct ReadingCall {
    const char* method;
    json (*params)(const Probe&);
};
const ReadingCall kReadingCalls[] = {
    {"GetFilial", [](const Probe& p) { return json::array({p.branch, p.all ? "T" : ""}); }},
    {"GetTabePrec", [](const Probe& p) { return json::array({p.branch}); }},
    {"getVigencia",
     [](const Probe& p) {
         return json::array({p.branch, p.table, p.period ? periodOrNull(p) : json(0), p.all ? "T" : "",
                             "dd/mm/yyyy"});
     }},
    {"GetFeriado", [](const Probe& p) { return json::array({p.branch, p.year}); }},
    {"GetPrecoVigente",
     [](const Probe& p) { return json::array({p.branch, p.table, p.product, p.type, date(p.date), p.time}); }},
    {"GetPrecosVigentes",
     [](const Probe& p) { return json::array({p.branch, p.table, p.type, date(p.date), p.time}); }},
    {"GetPrecDif",
     [](const Probe& p) {
         return json::array({p.branch, p.table, periodOrNull(p), p.product, p.lastProduct, p.type, p.day,
                             p.all ? json() : date(p.date), 0, 300});
     }},
    {"GetPrecDifHist", [](const Probe& p) { return json::array({p.branch, p.table, p.product, 0, 50}); }},
    {"GetAlteracoes", [](const Probe& p) { return json::array({p.branch, p.table, p.since, 200, 0}); }},
    {"GetDadosPreco",
     [](const Probe& p) { return json::array({p.branch, p.table, p.product, p.lastProduct, 20}); }},
    {"SimPrecDif", [](const Probe& p) { return p.rule; }},
};

// The answer line to a call with id 1, as it came.
std::string ask(testdb::LineClient& server, const char* method, const json& params) {
    server.send(json{{"jsonrpc", "2.0"},
                     {"id", 1},
                     {"method", std::string("Vnd42400.rdmTabePreco.") + method},
                     {"params", params}}
                    .dump() +
                "\n");
    return server.receiveLine().value_or("(sem resposta)");
}

// Where two answers part, with some bytes of each around it.
std::string difference(const std::string& held, const std::string& fresh) {
    const auto at = static_cast<std::size_t>(
        std::mismatch(held.begin(), held.begin() + static_cast<long>(std::min(held.size(), fresh.size())),
                      fresh.begin())
            .first -
        held.begin());
    const std::size_t from = at < 80 ? 0 : at - 80;
    return "byte " + std::to_string(at) + "\n  mantido: ..." + held.substr(from, 240) + "\n  novo:    ..." +
           fresh.substr(from, 240);
}

enum class Path { Held, OtherServer, CommandLine };

class HeldAnswers : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (auto why = testdb::unavailable(GetParam())) {
            GTEST_SKIP() << *why;
        }
        db_ = std::make_unique<testdb::TestDatabase>(GetParam());
        dir_ = fs::temp_directory_path() /
               ("vnd-held-answers-" + std::to_string(::getpid()) + "-" + testdb::name(GetParam()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        seed_ = reliability::seedOfRun(20260311u);
        std::printf("seed %u (VND_TEST_SEED=%u repeats it)\n", seed_, seed_);
        changes_.emplace(seed_, db_->url(), dir_, [this](const std::vector<std::string>& args) {
            return command(args);
        });
        command({"init", "--db", db_->url(), "--demo"});
    }
    void TearDown() override {
        if (!HasFailure()) {
            fs::remove_all(dir_);
        }
    }

    int pick(int n) { return changes_->pick(n); }
    template <typename T>
    const T& any(const std::vector<T>& from) {
        return from[static_cast<std::size_t>(pick(static_cast<int>(from.size())))];
    }

    // vnd-server with these arguments, which must succeed; its output.
    std::string command(const std::vector<std::string>& args) {
        const tilltest::Finished f =
            tilltest::runProgram(VND_SERVER_BINARY, args, (dir_ / ("run" + std::to_string(++runs_))).string());
        EXPECT_EQ(f.status, 0) << args[0] << "\n" << f.err;
        return f.out;
    }

    // A random rule stored through this server; what it touched.
    Touched storeRule(testdb::LineClient& server, const char* through) {
        const DemoTable& t = kDemoTables[pick(3)];
        json rule = changes_->randomRule(t);
        const json answer = server.call("SetPrecDif", rule);
        const json& packet = testdb::arg(rule, testdb::kProducts);
        const std::string start = testdb::arg(rule, testdb::kRangeStart);
        const std::string product = !packet.is_null() ? packet["$packet"]["rows"][0][1].get<std::string>()
                                    : !start.empty()  ? productCode(std::stoi(start.substr(4)))
                                                      : productCode(1 + pick(t.products));
        // A list naming a product the branch no longer sells is refused: no change.
        return {std::string("SetPrecDif ") + through + " em " + t.branch + "/" + t.table +
                    (answer.contains("result") ? "" : " recusado"),
                t.branch, t.table, product};
    }

    // The changes of a run: every path, every kind of file the import knows, with and
    // without --full where it is allowed; in an order the seed gives.
    std::vector<std::pair<Path, std::function<Touched()>>> schedule(testdb::LineClient& held,
                                                                    testdb::LineClient& other) {
        std::vector<std::pair<Path, std::function<Touched()>>> steps;
        for (int i = 0; i < 3; ++i) {
            steps.emplace_back(Path::Held, [&] { return storeRule(held, "no servidor"); });
        }
        steps.emplace_back(Path::Held, [&] { return changes_->removeRandomRules(held, kDemoTables[pick(3)]); });
        for (int i = 0; i < 2; ++i) {
            steps.emplace_back(Path::OtherServer, [&] { return storeRule(other, "no outro servidor"); });
        }
        steps.emplace_back(Path::OtherServer,
                           [&] { return changes_->removeRandomRules(other, kDemoTables[pick(3)]); });
        for (int i = 0; i < 2; ++i) {
            steps.emplace_back(Path::CommandLine, [&] { return changes_->changeHoliday(); });
        }
        steps.emplace_back(Path::CommandLine, [&] { return changes_->importHolidays(); });
        steps.emplace_back(Path::CommandLine, [&] { return changes_->importReference("filiais", false); });
        for (bool full : {false, true}) {
            for (const char* kind : {"tabelas", "vigencias", "produtos", "sortimento", "tipos", "tipos-filial"}) {
                steps.emplace_back(Path::CommandLine, [&, kind, full] { return changes_->importReference(kind, full); });
            }
            steps.emplace_back(Path::CommandLine,
                               [&, full] { return changes_->importBasePrices(kDemoTables[pick(3)], full); });
        }
        for (std::size_t i = steps.size() - 1; i > 0; --i) {
            std::swap(steps[i], steps[static_cast<std::size_t>(pick(static_cast<int>(i + 1)))]);
        }
        return steps;
    }

    // The first probe at what the change touched, the others anywhere.
    Probe probe(const Touched& touched, bool atTheChange) {
        Probe p;
        const bool at = atTheChange && !touched.branch.empty();
        p.branch = at ? touched.branch : any<std::string>({"0001", "0001", "0002", "0003"});
        p.table = at && !touched.table.empty() ? touched.table : any<std::string>({"001", "001", "002"});
        p.product = at && !touched.product.empty() ? touched.product : productCode(1 + pick(kDemoProducts + 3));
        p.lastProduct = pick(3) == 0 ? "" : productCode(std::stoi(p.product) + pick(30));
        p.type = any<std::string>({"", "01", "02", "03", "05"});
        p.day = any<std::string>({"", "", "T", "F", "V", "2"});
        const int k = pick(2) == 0 ? reliability::kHolidayDays[pick(std::size(reliability::kHolidayDays))] - pick(2)
                                   : pick(60);
        p.date = reliability::windowDay(k);
        p.time = reliability::hhmm(pick(24 * 60)).insert(2, ":");
        p.period = any<std::optional<std::string>>({std::nullopt, "2026-01-01", "2026-01-01", "2025-01-01",
                                                    "2028-01-01"});
        p.since = pick(static_cast<int>(highestChange() + 3));
        p.year = any<int>({2026, 2026, 2025, 2027});
        p.all = pick(2) == 0;
        const auto same = std::find_if(std::begin(kDemoTables), std::end(kDemoTables), [&](const DemoTable& t) {
            return t.branch == p.branch && t.table == p.table;
        });
        p.rule = changes_->randomRule(same != std::end(kDemoTables) ? *same : kDemoTables[pick(3)]);
        return p;
    }

    long long highestChange() { return std::stoll(db_->query("SELECT MAX(NRALTERACAO) FROM ALTPRECO")[0][0]); }

    // Asks the held server every reading call of every probe and compares each answer with
    // a fresh server's; a change by another process may take until `changed` + kBound to
    // show.
    void compare(testdb::LineClient& held, const std::vector<Probe>& probes, Path path, Clock::time_point changed,
                 const std::string& what) {
        reliability::ServerProcess freshServer(VND_SERVER_BINARY, db_->url(), kServeOptions);
        testdb::LineClient fresh(freshServer.port());
        for (const Probe& p : probes) {
            for (const ReadingCall& call : kReadingCalls) {
                const json params = call.params(p);
                const std::string expected = ask(fresh, call.method, params);
                answered_[call.method] += expected.find("\"result\"") != std::string::npos ? 1 : 0;
                std::string got = ask(held, call.method, params);
                bool waited = false;
                while (got != expected && path != Path::Held && Clock::now() < changed + kBound) {
                    waited = true;
                    std::this_thread::sleep_for(kPoll);
                    got = ask(held, call.method, params);
                }
                if (waited && got == expected) {
                    longestWait_ = std::max(longestWait_, Clock::now() - changed);
                    ++lagged_;
                }
                // Not ASSERT_EQ: a price book is tens of kilobytes; where they part is enough.
                ASSERT_TRUE(got == expected) << what << "\n" << call.method << ' ' << params.dump() << '\n'
                                         << difference(got, expected) << "\nseed " << seed_;
            }
        }
        EXPECT_EQ(freshServer.stop(SIGTERM), 0);
    }

    std::unique_ptr<testdb::TestDatabase> db_;
    fs::path dir_;
    unsigned seed_ = 0;
    int runs_ = 0;
    std::optional<reliability::RandomChanges> changes_;
    std::map<std::string, int> answered_;  // answers with a result, by method
    Clock::duration longestWait_{};
    int lagged_ = 0;
};

TEST_P(HeldAnswers, AreAFreshServersAfterRandomChangesThroughEveryPath) {
    reliability::ServerProcess heldServer(VND_SERVER_BINARY, db_->url(), kServeOptions);
    reliability::ServerProcess otherServer(VND_SERVER_BINARY, db_->url(), kServeOptions);
    testdb::LineClient held(heldServer.port());
    testdb::LineClient other(otherServer.port());

    std::string log;
    auto steps = schedule(held, other);
    for (auto& [path, change] : steps) {
        const Touched touched = change();
        const Clock::time_point changed = Clock::now();
        log += touched.what + "\n";
        std::vector<Probe> probes;
        for (int i = 0; i < kProbes; ++i) {
            probes.push_back(probe(touched, i == 0));
        }
        compare(held, probes, path, changed, touched.what);
        if (HasFailure()) {
            std::printf("changes made (seed %u):\n%s", seed_, log.c_str());
            return;
        }
    }
    // Each method answered with a result now and then, not only refusals.
    for (const ReadingCall& call : kReadingCalls) {
        EXPECT_GT(answered_[call.method], 0) << call.method;
    }
    std::printf("%zu changes; answers of the held server that lagged: %d, the longest %lld ms after the change\n",
                steps.size(), lagged_,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(longestWait_).count()));
    EXPECT_EQ(heldServer.stop(SIGTERM), 0);
    EXPECT_EQ(otherServer.stop(SIGTERM), 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, HeldAnswers, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const testing::TestParamInfo<Backend>& p) { return std::string(testdb::name(p.param)); });

}  // namespace
