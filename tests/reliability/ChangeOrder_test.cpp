// Two server processes on one PostgreSQL database, clients storing and removing through
// both while readers look at the change log again and again: the log is always the
// numbers 1..N without a hole, a row once seen never changes, and a till asking from
// where its last answer left off gets every change of its table, in order, exactly once.

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "LineClient.h"
#include "RuleArguments.h"
#include "ServerProcess.h"
#include "TestDatabase.h"
#include "server/cli/DatabaseInit.h"

namespace {

using nlohmann::json;
using testdb::Backend;

constexpr int kProducts = 40;
constexpr int kClients = 6;
// Stores of one price table wait for each other; of different tables they run together.
struct Table {
    const char* branch;
    const char* table;
    int products;  // how many the branch sells
};
constexpr Table kTables[] = {{"0001", "001", kProducts}, {"0001", "002", kProducts}, {"0002", "001", kProducts / 2}};
constexpr int kRounds = 24;

std::string code(int product) {
    const std::string digits = std::to_string(product);
    return std::string(10 - std::min<std::size_t>(digits.size(), 10), '0').append(digits);
}

// The key of a product's row stored by listRule, as the screen sends it for removal.
json removalOf(const Table& t, int product) {
    json fields = json::array();
    for (const char* name : {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO", "IDDIA",
                             "CDTIPOCONS", "HRINI", "HRFIN", "DTINIVALID", "DTFINVALID"}) {
        fields.push_back({{"name", name}, {"type", "string"}, {"size", 10}});
    }
    json row = {t.branch, t.table, "2026-01-01", code(product), "2", "T", "0001", "2359",
                "2026-02-01", "2026-02-28"};
    return json::array({t.branch, t.table, {{"$packet", {{"fields", fields}, {"rows", {row}}}}}});
}

TEST(ChangeOrder, NumbersFollowTheCommitsWithoutGapsAcrossServerProcesses) {
    if (auto why = testdb::unavailable(Backend::Postgres)) {
        GTEST_SKIP() << *why;
    }
    testdb::TestDatabase db(Backend::Postgres);
    server::initDatabase(db.url(), true, kProducts);
    reliability::ServerProcess a(VND_SERVER_BINARY, db.url());
    reliability::ServerProcess b(VND_SERVER_BINARY, db.url());

    std::atomic<int> writing{kClients};
    std::vector<std::thread> threads;
    for (int c = 0; c < kClients; ++c) {
        threads.emplace_back([&, c] {
            testdb::LineClient client(c % 2 == 0 ? a.port() : b.port());
            const Table& t = kTables[c % 3];
            for (int r = 0; r < kRounds; ++r) {
                const int first = (c * 7 + r * 3) % (t.products - 4) + 1;
                if (r % 3 == 2) {
                    client.call("DelPrecDif", removalOf(t, first));  // refused when not stored
                    continue;
                }
                json rule = testdb::listRule({code(first), code(first + 1), code(first + 2)});
                testdb::arg(rule, testdb::kBranch) = t.branch;
                testdb::arg(rule, testdb::kTable) = t.table;
                testdb::arg(rule, testdb::kAmount) = (c + 1) + (r + 1) / 100.0;
                EXPECT_TRUE(client.call("SetPrecDif", rule).contains("result"));
            }
            --writing;
        });
    }

    // The table read directly: 1..N, each row as it was first seen.
    std::map<long long, std::string> seen;
    int looks = 0;
    std::string tableFault;
    auto lookAtTheTable = [&] {
        ++looks;
        long long expected = 1;
        for (const auto& row : db.query("SELECT NRALTERACAO, CDFILIAL || '|' || COALESCE(CDPRODUTO, '')"
                                        " || '|' || IDALTERACAO FROM ALTPRECO ORDER BY 1")) {
            const long long n = std::stoll(row[0]);
            if (n != expected) {
                tableFault = "look " + std::to_string(looks) + ": number " + std::to_string(n) +
                             " where " + std::to_string(expected) + " was due";
                return;
            }
            const auto [at, added] = seen.emplace(n, row[1]);
            if (!added && at->second != row[1]) {
                tableFault = "row " + row[0] + " changed after it was seen";
                return;
            }
            ++expected;
        }
    };
    // A till of branch 0001, table 001 through both servers in turn: each answer goes on
    // from where the last one ended, in order.
    long long since = 0;
    int asked = 0;
    std::vector<long long> tillGot;
    std::string tillFault;
    auto askAsATill = [&](testdb::LineClient& client) {
        ++asked;
        const json answer = client.call("GetAlteracoes", {"0001", "001", since, 10000, 0});
        const json& result = answer.at("result");
        const long long ate = result["ate"];
        for (const json& row : result["alteracoes"]["$packet"]["rows"]) {
            const long long n = row[0];
            if (n <= (tillGot.empty() ? since : std::max(since, tillGot.back())) || n > ate) {
                tillFault = "after " + std::to_string(since) + ": " + result.dump();
                return;
            }
            tillGot.push_back(n);
        }
        if (result["ressincronizar"].get<bool>() || ate < since) {
            tillFault = "after " + std::to_string(since) + ": " + result.dump();
            return;
        }
        since = ate;
    };
    threads.emplace_back([&] {
        testdb::LineClient throughA(a.port());
        testdb::LineClient throughB(b.port());
        while (writing > 0 && tableFault.empty() && tillFault.empty()) {
            lookAtTheTable();
            askAsATill(asked % 2 == 0 ? throughA : throughB);
        }
    });
    for (std::thread& t : threads) {
        t.join();
    }
    if (tableFault.empty() && tillFault.empty()) {
        lookAtTheTable();
        testdb::LineClient last(a.port());
        askAsATill(last);
    }
    EXPECT_EQ(tableFault, "");
    EXPECT_EQ(tillFault, "");
    EXPECT_EQ(since, static_cast<long long>(seen.size())) << "the till's view ends where the log does";
    // Every change of its table reached the till: none was passed while not yet visible.
    std::vector<long long> itsOwn;
    for (const auto& row : db.query("SELECT NRALTERACAO FROM ALTPRECO WHERE CDFILIAL = 'T' OR"
                                    " (CDFILIAL = '0001' AND COALESCE(CDTABEPREC, '001') = '001')"
                                    " ORDER BY 1")) {
        itsOwn.push_back(std::stoll(row[0]));
    }
    EXPECT_EQ(tillGot, itsOwn);
    std::printf("change log through 2 server processes: %zu numbers, %d looks at the table, "
                "%d asks as a till\n",
                seen.size(), looks, asked);
}

}  // namespace
