// The server is killed (SIGKILL) at a random moment while it stores a rule of more than
// 200,000 rows; after a restart the rule is there whole or not at all, a store that was
// answered is there whole, and every other rule is as it was.
//
// VND_KILL_TRIALS sets the trials per backend (default 2; scripts/reliability runs 20).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "BigRule.h"
#include "LineClient.h"
#include "RuleArguments.h"
#include "RuleCensus.h"
#include "ServerProcess.h"
#include "TestDatabase.h"
#include "server/cli/DatabaseInit.h"

namespace {

using nlohmann::json;
using reliability::Census;
using testdb::Backend;

constexpr int kProducts = 22'300;  // x 9 days = 200,700 rows
constexpr long kRuleRows = 9L * kProducts;
const char* const kSets[2] = {"2026-03-01", "2026-04-01"};
const char* const kSetEnds[2] = {"2026-03-31", "2026-04-30"};

int trials() {
    const char* text = std::getenv("VND_KILL_TRIALS");
    const int n = text ? std::atoi(text) : 2;
    return n > 0 ? n : 2;
}

json bigRule(int set, double amount) {
    return reliability::bigRule(kSets[set], kSetEnds[set], amount);
}

std::string request(const json& params) {
    return reliability::storeRequest(params);
}

class CrashSafety : public testing::TestWithParam<Backend> {};

TEST_P(CrashSafety, AKilledStoreLeavesAllOrNothing) {
    if (auto why = testdb::unavailable(GetParam())) {
        GTEST_SKIP() << *why;
    }
    testdb::TestDatabase db(GetParam());
    server::initDatabase(db.url(), true, kProducts);

    // An earlier rule that no crash may touch, and a first whole store that tells how
    // long one takes.
    std::array<Census, 2> state{};
    double calibration = 0;
    {
        reliability::ServerProcess server(VND_SERVER_BINARY, db.url());
        testdb::LineClient client(server.port());
        const json early = client.call(
            "SetPrecDif", testdb::listRule({"0000000001", "0000000002", "0000000003"}));
        ASSERT_EQ(early["result"]["stored"], 3) << early.dump();
        const auto began = std::chrono::steady_clock::now();
        ASSERT_TRUE(client.send(request(bigRule(0, 100))));
        const auto answer = client.receive(std::chrono::seconds(600));
        ASSERT_TRUE(answer && answer->contains("result")) << (answer ? answer->dump() : "");
        calibration = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        state[0] = {kRuleRows, 1, 100};
    }
    const Census early = reliability::census(db.url(), "2026-02-01");
    ASSERT_EQ(early.rows, 3);

    std::mt19937 random(std::random_device{}());
    int survived = 0;
    int beforeCommit = 0;
    const int n = trials();
    for (int t = 1; t <= n; ++t) {
        const int set = t % 2;
        const double amount = 100 + t;
        // Half the trials kill a store that inserts every row, half one that replaces them.
        if (t % 4 == 1 || t % 4 == 2) {
            db.exec(std::string("DELETE FROM PRECDIF WHERE DTINIVALID = '") + kSets[set] + "'");
            state[set] = {};
        }
        bool answered = false;
        {
            reliability::ServerProcess server(VND_SERVER_BINARY, db.url());
            testdb::LineClient client(server.port());
            ASSERT_TRUE(client.send(request(bigRule(set, amount))));
            std::uniform_real_distribution<double> moment(0.0, calibration * 1.1);
            std::this_thread::sleep_for(std::chrono::duration<double>(moment(random)));
            server.kill();
            const auto answer = client.receive(std::chrono::seconds(5));
            answered = answer && answer->contains("result");
        }
        // The restarted server recovers the database and serves again.
        reliability::ServerProcess restarted(VND_SERVER_BINARY, db.url());
        testdb::LineClient probe(restarted.port());
        const bool serves = probe.call("GetTabePrec", json::array({"0001"})).contains("result");

        const Census after = reliability::census(db.url(), kSets[set]);
        const Census fresh{kRuleRows, 1, amount};
        const bool whole = after == fresh || (!answered && after == state[set]);
        const bool othersIntact = reliability::census(db.url(), kSets[1 - set]) == state[1 - set] &&
                                  reliability::census(db.url(), "2026-02-01") == early;
        EXPECT_TRUE(serves) << "trial " << t;
        EXPECT_TRUE(whole) << "trial " << t << ": " << after.rows << " rows, " << after.amounts
                           << " amounts (answered: " << answered << ")";
        EXPECT_TRUE(othersIntact) << "trial " << t;
        if (serves && whole && othersIntact) {
            ++survived;
        }
        if (after != fresh) {
            ++beforeCommit;
        }
        state[set] = after;
    }
    std::printf("kill trials survived (%s): %d/%d (%d killed before commit, %d after; "
                "%ld rows a store, %.1f s a store)\n",
                testdb::name(GetParam()), survived, n, beforeCommit, n - beforeCommit, kRuleRows,
                calibration);
}

INSTANTIATE_TEST_SUITE_P(Backends, CrashSafety, testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const testing::TestParamInfo<Backend>& p) {
                             return std::string(testdb::name(p.param));
                         });

}  // namespace
