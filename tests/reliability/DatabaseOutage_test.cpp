// The real server while its database fails under it: a database that stops answering
// (PostgreSQL's processes stopped with SIGSTOP; a SQLite file another process holds
// locked), a PostgreSQL restart, and SIGTERM while a store runs. Each trial prints its
// figures: calls answered, how long the answers took, rows stored against answers.
//
// The trials stop and restart the test script's PostgreSQL cluster, so CTest runs them
// alone (RUN_SERIAL).

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include <dirent.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <gtest/gtest.h>

#include "BigRule.h"
#include "HttpGet.h"
#include "LineClient.h"
#include "RuleArguments.h"
#include "RuleCensus.h"
#include "ServerProcess.h"
#include "TestDatabase.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"

namespace {

using nlohmann::json;
using testdb::Backend;
using testdb::LineClient;
using Clock = std::chrono::steady_clock;

const std::string kToken = "outage-trial-token-0123456789";
const std::string kTls = VND_TEST_TLS_DIR;

double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// The test script's cluster: its postmaster and every process it started.
std::vector<pid_t> clusterProcesses() {
    std::ifstream pidFile(env("VND_TEST_PG_DATA") + "/postmaster.pid");
    pid_t postmaster = 0;
    pidFile >> postmaster;
    std::vector<pid_t> out;
    if (postmaster <= 0) {
        return out;
    }
    out.push_back(postmaster);
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const auto close = line.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == postmaster) {
            out.push_back(std::stoi(name));
        }
    }
    return out;
}

// The database stops answering while this lives: PostgreSQL's processes are stopped,
// or the SQLite file is held under an exclusive lock. Woken whatever the test does.
class Hang {
public:
    Hang(Backend backend, const std::string& url) {
        if (backend == Backend::Postgres) {
            stopped_ = clusterProcesses();
            for (pid_t p : stopped_) {
                ::kill(p, SIGSTOP);
            }
            return;
        }
        sqlite3_open(url.substr(7).c_str(), &sqlite_);
        sqlite3_exec(sqlite_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr);
    }
    ~Hang() { release(); }
    Hang(const Hang&) = delete;
    Hang& operator=(const Hang&) = delete;
    void release() {
        for (pid_t p : stopped_) {
            ::kill(p, SIGCONT);
        }
        stopped_.clear();
        if (sqlite_) {
            sqlite3_exec(sqlite_, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(sqlite_);
            sqlite_ = nullptr;
        }
    }

private:
    std::vector<pid_t> stopped_;
    sqlite3* sqlite_ = nullptr;
};

// Another writer holds the rule table: a store waits for it (the database answers).
class WriteLock {
public:
    WriteLock(Backend backend, const std::string& url) {
        if (backend == Backend::Postgres) {
            pg_ = PQconnectdb(url.c_str());
            PQclear(PQexec(pg_, "BEGIN"));
            PQclear(PQexec(pg_, "LOCK TABLE PRECDIF IN EXCLUSIVE MODE"));
            return;
        }
        sqlite3_open(url.substr(7).c_str(), &sqlite_);
        sqlite3_exec(sqlite_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    }
    ~WriteLock() {
        if (pg_) {
            PQclear(PQexec(pg_, "ROLLBACK"));
            PQfinish(pg_);
        }
        if (sqlite_) {
            sqlite3_exec(sqlite_, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(sqlite_);
        }
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

private:
    PGconn* pg_ = nullptr;
    sqlite3* sqlite_ = nullptr;
};

std::string tokenFile() {
    const auto path = std::filesystem::temp_directory_path() /
                      ("vnd-outage-token-" + std::to_string(::getpid()));
    std::ofstream(path) << kToken << "\n";
    std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write);
    return path.string();
}

std::unique_ptr<LineClient> loggedIn(unsigned short port) {
    auto client = std::make_unique<LineClient>(port, kTls + "/ca.pem");
    const json answer = client->call("rpc.auth", json::array({kToken}));
    EXPECT_EQ(answer.value("result", false), true) << answer.dump();
    return client;
}

std::string errorText(const std::optional<json>& answer) {
    if (!answer || !answer->contains("error")) {
        return "";
    }
    return (*answer)["error"].value("message", "");
}

class Outage : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (auto why = testdb::unavailable(GetParam())) {
            GTEST_SKIP() << *why;
        }
        if (GetParam() == Backend::Postgres && env("VND_TEST_PG_DATA").empty()) {
            GTEST_SKIP() << "the PostgreSQL cluster's folder is unknown (VND_TEST_PG_DATA)";
        }
        db_ = std::make_unique<testdb::TestDatabase>(GetParam());
    }
    std::unique_ptr<testdb::TestDatabase> db_;
};

// A database that stops answering: lookups of what the server holds are answered, every
// other caller is told so within its deadline, new TLS connections are still taken, and
// SIGTERM ends the server within its grace period.
TEST_P(Outage, AHungDatabaseLeavesTheServerReachable) {
    server::initDatabase(db_->url(), true, 20);
    const std::string token = tokenFile();
    reliability::ServerProcess server(
        VND_SERVER_BINARY, db_->url(),
        {"--db-timeout", "2", "--store-timeout", "2", "--shutdown-grace", "3", "--tls-cert",
         kTls + "/server.pem", "--tls-key", kTls + "/server.key", "--token-file", token});
    std::vector<std::unique_ptr<LineClient>> clients;
    for (int i = 0; i < 4; ++i) {
        clients.push_back(loggedIn(server.port()));
    }
    ASSERT_TRUE(clients[0]->call("GetTabePrec", json::array({"0001"})).contains("result"));

    Hang hang(GetParam(), db_->url());
    const auto began = Clock::now();
    std::vector<std::future<std::pair<std::optional<json>, double>>> calls;
    for (int i = 0; i < 4; ++i) {
        calls.push_back(std::async(std::launch::async, [&, i] {
            LineClient& c = *clients[static_cast<std::size_t>(i)];
            const bool store = i >= 2;
            c.send(json{{"jsonrpc", "2.0"}, {"id", 7},
                        {"method", store ? "Vnd42400.rdmTabePreco.SetPrecDif"
                                         : "Vnd42400.rdmTabePreco.GetTabePrec"},
                        {"params", store ? testdb::baseRule() : json::array({"0001"})}}
                       .dump() +
                   "\n");
            auto answer = c.receive(std::chrono::seconds(8));
            return std::make_pair(answer, secondsSince(began));
        }));
    }
    // Meanwhile a new client is taken in and logged in at once.
    const auto connecting = Clock::now();
    auto late = loggedIn(server.port());
    const double connectSeconds = secondsSince(connecting);
    EXPECT_LT(connectSeconds, 2.0);

    int answered = 0;
    double slowest = 0;
    for (int i = 0; i < 4; ++i) {
        auto [answer, seconds] = calls[static_cast<std::size_t>(i)].get();
        const bool store = i >= 2;
        ASSERT_TRUE(answer.has_value()) << "call " << i << " got no answer";
        ++answered;
        slowest = std::max(slowest, seconds);
        EXPECT_LT(seconds, 6.0) << "call " << i;
        if (store) {
            const std::string text = errorText(answer);
            EXPECT_NE(text.find("o banco de dados não respondeu a tempo"), std::string::npos)
                << answer->dump();
            EXPECT_EQ(text.find("ERROR"), std::string::npos) << text;
        } else {
            // The price tables asked for before the hang are held in memory: the lookup
            // is answered without the database.
            EXPECT_TRUE(answer->contains("result")) << answer->dump();
        }
    }
    const auto stopping = Clock::now();
    const int status = server.stop(SIGTERM, 15);
    const double stopSeconds = secondsSince(stopping);
    EXPECT_EQ(status, 0);
    EXPECT_LT(stopSeconds, 3.0 + 3.0);
    hang.release();
    std::filesystem::remove(token);
    std::printf("hung database (%s): %d/4 calls answered, slowest in %.1f s; new TLS login in "
                "%.2f s; SIGTERM ended the server in %.1f s\n",
                testdb::name(GetParam()), answered, slowest, connectSeconds, stopSeconds);
}

// SIGTERM during a store: the store finishes and is answered before the server exits;
// rows stored and the answer agree.
TEST_P(Outage, SigtermDuringAStoreAnswersItBeforeExiting) {
    constexpr int kProducts = 22'300;  // x 9 days
    server::initDatabase(db_->url(), true, kProducts);
    reliability::ServerProcess server(VND_SERVER_BINARY, db_->url());
    LineClient client(server.port());
    ASSERT_TRUE(client.send(
        reliability::storeRequest(reliability::bigRule("2026-03-01", "2026-03-31", 5))));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto stopping = Clock::now();
    std::future<int> status = std::async(std::launch::async, [&] { return server.stop(SIGTERM, 300); });
    const auto answer = client.receive(std::chrono::seconds(300));
    const double answerSeconds = secondsSince(stopping);
    EXPECT_EQ(status.get(), 0);
    ASSERT_TRUE(answer && answer->contains("result")) << (answer ? answer->dump() : "no answer");
    const long stored = (*answer)["result"]["stored"];
    const reliability::Census after = reliability::census(db_->url(), "2026-03-01");
    EXPECT_EQ(stored, 9L * kProducts);
    EXPECT_EQ(after.rows, stored);
    std::printf("SIGTERM during a store (%s): answered after %.1f s, %ld rows answered, %ld "
                "stored\n",
                testdb::name(GetParam()), answerSeconds, stored, after.rows);
}

// A store still running when the grace period ends is rolled back and its client told so.
TEST_P(Outage, AStoreCutOffByTheGracePeriodIsRolledBackAndSaysSo) {
    server::initDatabase(db_->url(), true, 20);
    reliability::ServerProcess server(VND_SERVER_BINARY, db_->url(), {"--shutdown-grace", "1"});
    LineClient client(server.port());
    std::optional<json> answer;
    double stopSeconds = 0;
    {
        WriteLock lock(GetParam(), db_->url());
        ASSERT_TRUE(client.send(reliability::storeRequest(testdb::baseRule())));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const auto stopping = Clock::now();
        EXPECT_EQ(server.stop(SIGTERM, 15), 0);
        stopSeconds = secondsSince(stopping);
        answer = client.receive(std::chrono::seconds(5));
    }
    EXPECT_LT(stopSeconds, 1.0 + 4.0);
    EXPECT_NE(errorText(answer).find("o servidor de aplicação foi encerrado antes de concluir a "
                                     "gravação; nada foi gravado"),
              std::string::npos)
        << (answer ? answer->dump() : "no answer");
    const long stored = server::Server(db_->url(), "127.0.0.1:0").countRules();
    EXPECT_EQ(stored, 0);
    std::printf("grace period over (%s): server ended in %.1f s, client told: %s; %ld rows "
                "stored\n",
                testdb::name(GetParam()), stopSeconds, answer ? "yes" : "no", stored);
}

// Stores that wait for another writer hold threads of their own: a lookup is answered at
// once, even with a single lookup thread.
TEST_P(Outage, LookupsAreAnsweredWhileStoresWaitForTheDatabase) {
    server::initDatabase(db_->url(), true, 20);
    server::ServerOptions options;
    options.workerThreads = 1;
    options.storeTimeout = std::chrono::seconds(20);
    server::Server server(db_->url(), "127.0.0.1:0", options);
    server.start();
    LineClient store1(server.port()), store2(server.port()), lookup(server.port());
    double lookupSeconds = 0;
    {
        WriteLock lock(GetParam(), db_->url());
        ASSERT_TRUE(store1.send(reliability::storeRequest(testdb::baseRule())));
        ASSERT_TRUE(store2.send(reliability::storeRequest(testdb::baseRule())));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const auto asked = Clock::now();
        const json answer = lookup.call("GetTabePrec", json::array({"0001"}));
        lookupSeconds = secondsSince(asked);
        EXPECT_TRUE(answer.contains("result")) << answer.dump();
        EXPECT_LT(lookupSeconds, 2.0);
    }
    // Once the other writer is gone both stores go through.
    for (LineClient* c : {&store1, &store2}) {
        const auto answer = c->receive(std::chrono::seconds(30));
        EXPECT_TRUE(answer && answer->contains("result")) << (answer ? answer->dump() : "none");
    }
    std::printf("lookup beside two waiting stores (%s): answered in %.3f s\n",
                testdb::name(GetParam()), lookupSeconds);
}

INSTANTIATE_TEST_SUITE_P(Backends, Outage, testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const testing::TestParamInfo<Backend>& p) {
                             return std::string(testdb::name(p.param));
                         });

// While PostgreSQL hangs (a connect then waits for its timeout), /healthz and /metrics are
// answered at once: the health is the last answer to a question asked off the pages'
// thread. /healthz turns to 503 within a bounded time, and back to 200 once the database
// answers again. (A SQLite file held by a writer still answers reads: nothing hangs.)
TEST(DatabaseHang, HealthAndMetricsPagesAnswerAtOnce) {
    if (auto why = testdb::unavailable(Backend::Postgres)) {
        GTEST_SKIP() << *why;
    }
    if (env("VND_TEST_PG_DATA").empty()) {
        GTEST_SKIP() << "the PostgreSQL cluster's folder is unknown (VND_TEST_PG_DATA)";
    }
    testdb::TestDatabase db(Backend::Postgres);
    server::initDatabase(db.url(), true, 20);
    reliability::ServerProcess server(VND_SERVER_BINARY, db.url(), {"--metrics", "127.0.0.1:0"});
    ASSERT_NE(server.metricsPort(), 0);
    ASSERT_EQ(testdb::httpGet(server.metricsPort(), "/healthz").status, 200);
    double slowest = 0;
    // Whether /healthz says status within 30 s; every page timed meanwhile.
    auto healthTurns = [&](int status) {
        for (const auto until = Clock::now() + std::chrono::seconds(30); Clock::now() < until;
             std::this_thread::sleep_for(std::chrono::milliseconds(100))) {
            for (const char* page : {"/metrics", "/healthz"}) {
                const auto asked = Clock::now();
                const int got = testdb::httpGet(server.metricsPort(), page).status;
                slowest = std::max(slowest, secondsSince(asked));
                if (std::string_view(page) == "/healthz" && got == status) {
                    return true;
                }
            }
        }
        return false;
    };
    Hang hang(Backend::Postgres, db.url());
    const auto hung = Clock::now();
    EXPECT_TRUE(healthTurns(503)) << "/healthz never said the database does not answer";
    const double unhealthySeconds = secondsSince(hung);
    hang.release();
    EXPECT_TRUE(healthTurns(200)) << "/healthz never said the database answers again";
    EXPECT_LT(slowest, 1.0);
    EXPECT_EQ(server.stop(SIGTERM, 15), 0);
    std::printf("health while PostgreSQL hangs: 503 after %.1f s; slowest page %.3f s\n",
                unhealthySeconds, slowest);
}

// After PostgreSQL restarts, the first lookup and the first store on each of the server's
// database connections succeed: the broken connection is opened again and the call made
// once more.
TEST(DatabaseRestart, TheFirstCallsAfterARestartSucceed) {
    if (auto why = testdb::unavailable(Backend::Postgres)) {
        GTEST_SKIP() << *why;
    }
    if (env("VND_TEST_PG_DATA").empty()) {
        GTEST_SKIP() << "the PostgreSQL cluster's folder is unknown (VND_TEST_PG_DATA)";
    }
    testdb::TestDatabase db(Backend::Postgres);
    server::initDatabase(db.url(), true, 20);
    server::Server server(db.url(), "127.0.0.1:0");
    server.start();
    LineClient client(server.port());
    ASSERT_TRUE(client.call("GetTabePrec", json::array({"0001"})).contains("result"));
    ASSERT_TRUE(client.call("SetPrecDif", testdb::baseRule()).contains("result"));

    const std::string user = env("VND_TEST_PG_USER");
    const std::string command = (user.empty() || user == "root" ? "" : "runuser -u " + user + " -- ") +
                                env("VND_TEST_PG_BIN") + "/pg_ctl -D " + env("VND_TEST_PG_DATA") +
                                " -m fast -w restart >/dev/null 2>&1";
    const auto restarting = Clock::now();
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const double restartSeconds = secondsSince(restarting);

    const json lookup = client.call("GetTabePrec", json::array({"0001"}));
    json rule = testdb::baseRule();
    testdb::arg(rule, testdb::kAmount) = 7.5;
    const json store = client.call("SetPrecDif", rule);
    EXPECT_TRUE(lookup.contains("result")) << lookup.dump();
    EXPECT_TRUE(store.contains("result")) << store.dump();
    std::printf("PostgreSQL restart (%.1f s): first lookup %s, first store %s\n", restartSeconds,
                lookup.contains("result") ? "answered" : "failed",
                store.contains("result") ? "stored" : "failed");
}

}  // namespace
