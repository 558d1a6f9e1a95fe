// The change log: every write logs its rows in its own transaction, numbered without
// gaps; GetAlteracoes answers from it (and waits for it), GetDadosPreco pages a snapshot.

#include <chrono>
#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "LineClient.h"
#include "RuleArguments.h"
#include "TestDatabase.h"
#include "protocol/JsonRpc.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"
#include "server/rpc/PriceService.h"
#include "server/service/ChangeWatch.h"
#include "server/store/PricingQueries.h"
#include "server/store/StoreFactory.h"

namespace {

using testdb::Backend;
using testdb::LineClient;
using nlohmann::json;
using Rows = std::vector<std::string>;

class ChangeLog : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (auto why = testdb::unavailable(GetParam())) {
            GTEST_SKIP() << *why;
        }
        db_ = std::make_unique<testdb::TestDatabase>(GetParam());
        server::initDatabase(db_->url(), true, 20);
    }
    // Every row as "number|branch|table|period|product|kind", in number order.
    Rows logged() {
        Rows out;
        for (const auto& r : db_->query("SELECT NRALTERACAO, CDFILIAL, CDTABEPREC, DTINIVGPREC,"
                                        " CDPRODUTO, IDALTERACAO FROM ALTPRECO ORDER BY 1")) {
            std::string line;
            for (const std::string& cell : r) {
                line += (line.empty() ? "" : "|") + cell;
            }
            out.push_back(line);
        }
        return out;
    }
    std::unique_ptr<testdb::TestDatabase> db_;
};

TEST_P(ChangeLog, EveryWriteLogsItsRowsInItsOwnTransaction) {
    // The demo data says "everything" of every branch.
    ASSERT_EQ(logged(), (Rows{"1|T||||B", "2|T||||F", "3|T||||P", "4|T||||R", "5|T||||V"}));
    const wire::Date day{2026, 3, 3};
    struct Case {
        const char* name;
        std::function<void(server::RuleStore&, server::PriceService&)> write;
        Rows added;
    };
    const std::vector<Case> cases = {
        {"a rule of listed products: one row each",
         [](auto&, auto& service) {
             service.call("SetPrecDif", testdb::listRule({"0000000002", "0000000001"}));
         },
         {"6|0001|001|2026-01-01|0000000001|R", "7|0001|001|2026-01-01|0000000002|R"}},
        {"a rule of every product: one row",
         [](auto&, auto& service) { service.call("SetPrecDif", testdb::baseRule()); },
         {"8|0001|001|2026-01-01||R"}},
        {"rules removed: one row per product",
         [](server::RuleStore& store, auto&) {
             std::vector<server::RuleRow> two;
             for (const server::RuleRow& row : store.rules("0001", "001")) {
                 if (row.product <= "0000000002") {
                     two.push_back(row);
                 }
             }
             server::PricingQueries(store).removeRules(two);
         },
         {"9|0001|001|2026-01-01|0000000001|R", "10|0001|001|2026-01-01|0000000002|R"}},
        {"a holiday added and removed",
         [&](server::RuleStore& store, auto&) {
             server::PricingQueries(store).putHolidays({{"0002", day, "Feira"}});
             server::PricingQueries(store).removeHoliday("0002", day);
             server::PricingQueries(store).removeHoliday("0002", day);  // none: no row
         },
         {"11|0002||||F", "12|0002||||F"}},
        {"a refused store writes none",
         [](auto&, auto& service) {
             EXPECT_THROW(service.call("SetPrecDif", testdb::listRule({"0000009999"})),
                          wire::RpcError);
         },
         {}},
        {"a rolled-back transaction writes none",
         [](server::RuleStore& store, auto&) {
             EXPECT_THROW(store.writeTransaction([&] {
                 store.logChange(server::Change::ofBranch("0001", server::ChangeKind::Holidays));
                 throw std::runtime_error("desfeita");
             }),
                          std::runtime_error);
         },
         {}},
        {"the demo data replaced",
         [&](auto&, auto&) {
             server::initDatabase(db_->url(), true, 20, server::ExistingData::Replace);
         },
         {"13|T||||B", "14|T||||F", "15|T||||P", "16|T||||R", "17|T||||V"}},
    };
    auto store = server::openStore(db_->url());
    server::PriceService service(server::openStore(db_->url()));
    Rows expected = logged();
    for (const Case& c : cases) {
        c.write(*store, service);
        expected.insert(expected.end(), c.added.begin(), c.added.end());
        EXPECT_EQ(logged(), expected) << c.name;
    }
}

TEST_P(ChangeLog, GetAlteracoesAnswersUpToWhereItIsWhole) {
    server::PriceService service(server::openStore(db_->url()));
    struct Case {
        long long since, limit;
        std::vector<long long> numbers;
        long long upTo;
        bool resync;
    };
    auto check = [&](const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            const json answer = service.call("GetAlteracoes", {"0001", "001", c.since, c.limit, 0});
            std::vector<long long> numbers;
            for (const json& row : answer["alteracoes"]["$packet"]["rows"]) {
                numbers.push_back(row[0]);
            }
            EXPECT_EQ(numbers, c.numbers) << "since " << c.since << " limit " << c.limit;
            EXPECT_EQ(answer["ate"], c.upTo) << "since " << c.since << " limit " << c.limit;
            EXPECT_EQ(answer["ressincronizar"], c.resync) << "since " << c.since;
        }
    };
    check({{0, 10, {1, 2, 3, 4, 5}, 5, false},
           {0, 2, {1, 2}, 2, false},
           {5, 10, {}, 5, false},
           {6, 10, {}, 5, true}});  // beyond what was committed: another database
    // Another branch's and another table's changes: not listed, but passed.
    server::PricingQueries(*server::openStore(db_->url())).putHolidays({{"0002", {2026, 3, 3}, "X"}});
    service.call("SetPrecDif", [] {
        json rule = testdb::baseRule();
        testdb::arg(rule, wire::ruleArg::kTable) = "002";
        return rule;
    }());
    db_->exec("DELETE FROM ALTPRECO WHERE NRALTERACAO < 4");  // pruned
    check({{5, 10, {}, 7, false}, {3, 1, {4}, 4, false}, {2, 10, {}, 7, true}});
    for (const auto& [params, message] : std::vector<std::pair<json, std::string>>{
             {{"0001", "001", 0, 0, 0}, "GetAlteracoes: a quantidade deve estar entre 1 e 10.000."},
             {{"0001", "001", -1, 1, 0},
              "GetAlteracoes: o número inicial (desde) deve ser zero ou mais."},
             {{"0001", "001", 0, 1, 60001},
              "GetAlteracoes: a espera deve estar entre 0 e 60.000 milissegundos."},
             {{"0001", "", "", "", 10001},
              "GetDadosPreco: a quantidade deve estar entre 1 e 10.000."}}) {
        const char* method = params.size() == 5 && params[2].is_string() ? "GetDadosPreco"
                                                                          : "GetAlteracoes";
        try {
            service.call(method, params);
            ADD_FAILURE() << message;
        } catch (const wire::RpcError& e) {
            EXPECT_EQ(e.code(), wire::rpc::kInvalidParams);
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
}

TEST_P(ChangeLog, GetDadosPrecoPagesTheBranchesProducts) {
    server::PriceService service(server::openStore(db_->url()));
    service.call("SetPrecDif", testdb::listRule({"0000000008"}));
    std::vector<std::string> products;
    std::size_t prices = 0, rules = 0, pages = 0;
    json next = "";
    while (!next.is_null()) {
        const json page = service.call("GetDadosPreco", {"0001", "001", next, "", 7});
        EXPECT_EQ(page["ate"], 6);
        for (const json& row : page["produtos"]["$packet"]["rows"]) {
            products.push_back(row[0]);
        }
        prices += page["precos"]["$packet"]["rows"].size();
        rules += page["regras"]["$packet"]["rows"].size();
        EXPECT_EQ(page["vigencias"]["$packet"]["rows"].size(), 3u);
        EXPECT_EQ(page["feriados"]["$packet"]["rows"].size(), 42u);
        EXPECT_EQ(page["tipos"]["$packet"]["rows"][0], json::array({"01", "Varejo"}));
        next = page["proximo"];
        ++pages;
    }
    EXPECT_EQ(pages, 3u);
    ASSERT_EQ(products.size(), 20u);
    EXPECT_TRUE(std::is_sorted(products.begin(), products.end()));
    EXPECT_EQ(products.front(), "0000000001");
    EXPECT_EQ(prices, 20u * 3);
    EXPECT_EQ(rules, 1u);
}

// A waiting call is woken by a commit of another connection (on SQLite the command
// line's, found by the server's look at the file; on PostgreSQL announced by its commit),
// and a wait with nothing to wake it runs out with no rows.
TEST_P(ChangeLog, AWaitingCallIsWokenByACommitElsewhereOrRunsOut) {
    server::Server srv(db_->url(), "127.0.0.1:0");
    srv.start();
    using Clock = std::chrono::steady_clock;
    {
        LineClient client(srv.port());
        const auto began = Clock::now();
        const json answer = client.call("GetAlteracoes", {"0001", "001", 5, 100, 400});
        EXPECT_GE(Clock::now() - began, std::chrono::milliseconds(400));
        EXPECT_EQ(answer["result"]["alteracoes"]["$packet"]["rows"].size(), 0u);
        EXPECT_EQ(answer["result"]["ate"], 5);
    }
    LineClient client(srv.port());
    auto waiting = std::async(std::launch::async, [&] {
        return client.call("GetAlteracoes", {"0001", "001", 5, 100, 20000});
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto committed = Clock::now();
    server::PricingQueries(*server::openStore(db_->url())).putHolidays({{"T", {2026, 3, 3}, "X"}});
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_LT(Clock::now() - committed, std::chrono::milliseconds(1000));
    const json answer = waiting.get();
    EXPECT_EQ(answer["result"]["alteracoes"]["$packet"]["rows"],
              json::parse(R"([[6,"F",null,null]])"));
    srv.stop();
}

TEST_P(ChangeLog, PruningKeepsTheNewestRow) {
    db_->exec("UPDATE ALTPRECO SET DTALTERACAO = '2000-01-01 00:00:00'");
    auto store = server::openStore(db_->url());
    EXPECT_EQ(server::ChangeWatch::prune(*store, 30), 4);
    EXPECT_EQ(logged(), (Rows{"5|T||||V"}));
}

INSTANTIATE_TEST_SUITE_P(Backends, ChangeLog, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const testing::TestParamInfo<Backend>& p) {
                             return std::string(testdb::name(p.param));
                         });

}  // namespace
