// Batches of requests on one line, against the real server on a loopback port.

#include <map>
#include <thread>

#include <gtest/gtest.h>

#include "LineClient.h"
#include "RuleArguments.h"
#include "TestDatabase.h"
#include "protocol/JsonRpc.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"

namespace {

using nlohmann::json;
using testdb::LineClient;
namespace rpc = wire::rpc;

const std::string kObject = "Vnd42400.rdmTabePreco.";
const std::string kToken = "a-long-shared-secret-0123456789";

json call(const json& id, const std::string& method, const json& params) {
    return {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}};
}
json notification(const std::string& method, const json& params) {
    return {{"jsonrpc", "2.0"}, {"method", method}, {"params", params}};
}
json lookup(const json& id) {
    return call(id, kObject + "GetTabePrec", json::array({"0001"}));
}

// The code of every answer of a batch (0 for a result), by its id's JSON text.
std::map<std::string, int> codesById(const json& answers) {
    std::map<std::string, int> codes;
    for (const json& answer : answers) {
        const std::string id = answer["id"].dump();
        EXPECT_EQ(codes.count(id), 0u) << "two answers for id " << id;
        codes[id] = answer.contains("error") ? answer["error"]["code"].get<int>() : 0;
    }
    return codes;
}

class BatchServer : public testing::Test {
protected:
    void SetUp() override { server::initDatabase(db_.url(), true, 20); }
    void start(server::ServerOptions options = {}) {
        options.frameLimit = 256 * 1024;
        server_ = std::make_unique<server::Server>(db_.url(), "127.0.0.1:0", options);
        server_->start();
    }

    testdb::TestDatabase db_{testdb::Backend::Sqlite};
    std::unique_ptr<server::Server> server_;
};

TEST_F(BatchServer, EveryLookupOfABatchIsAnsweredInOneLineMatchedById) {
    start();
    LineClient client(server_->port());
    json batch = json::array();
    std::map<std::string, int> expected;
    for (int i = 1; i <= 40; ++i) {
        const json id = i % 2 ? json(i) : json(std::string("c").append(std::to_string(i)));
        batch.push_back(i % 3 ? lookup(id)
                              : call(id, kObject + "GetFilial", json::array({"0001", ""})));
        expected[id.dump()] = 0;
    }
    ASSERT_TRUE(client.send(batch.dump() + "\n"));
    const auto answers = client.receive();
    ASSERT_TRUE(answers && answers->is_array());
    EXPECT_EQ(codesById(*answers), expected);
    for (const json& answer : *answers) {
        EXPECT_TRUE(answer["result"].contains("$packet")) << answer.dump();
    }
    // The connection goes on with single requests.
    EXPECT_TRUE(client.call("GetTabePrec", json::array({"0001"})).contains("result"));
}

struct BatchCase {
    const char* name;
    std::string line;
    bool array;                             // answered by an array (else by one object)
    std::map<std::string, int> codes;       // answer code by id (0: a result)
    const char* message = "";               // part of the one error's text
};

class BatchAnswer : public BatchServer, public testing::WithParamInterface<BatchCase> {};

// Notifications are not answered, errors are answered inside the array under their ids,
// and what is no batch at all gets one error. A marker request after the line proves that
// a batch that deserves no answer got no line.
TEST_P(BatchAnswer, AnswersEachElementUnderItsId) {
    const BatchCase& c = GetParam();
    start();
    LineClient client(server_->port());
    ASSERT_TRUE(client.send(c.line + "\n" + lookup("marker").dump() + "\n"));
    if (!c.codes.empty()) {
        const auto answer = client.receive();
        ASSERT_TRUE(answer.has_value());
        ASSERT_EQ(answer->is_array(), c.array) << answer->dump();
        if (c.array) {
            EXPECT_EQ(codesById(*answer), c.codes) << answer->dump();
        } else {
            EXPECT_EQ(codesById(json::array({*answer})), c.codes) << answer->dump();
            EXPECT_NE((*answer)["error"]["message"].get<std::string>().find(c.message),
                      std::string::npos)
                << answer->dump();
        }
    }
    const auto marker = client.receive();
    ASSERT_TRUE(marker.has_value());
    EXPECT_EQ((*marker)["id"], "marker") << marker->dump();
    EXPECT_EQ(server_->countRules(), 0);
}

std::string batchOf(std::initializer_list<json> elements) {
    json batch = json::array();
    for (const json& element : elements) {
        batch.push_back(element);
    }
    return batch.dump();
}

std::string lookups(int count) {
    json batch = json::array();
    for (int i = 0; i < count; ++i) {
        batch.push_back(lookup(i));
    }
    return batch.dump();
}

std::map<std::string, int> resultsFor(int count) {
    std::map<std::string, int> codes;
    for (int i = 0; i < count; ++i) {
        codes[std::to_string(i)] = 0;
    }
    return codes;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BatchAnswer,
    testing::Values(
        BatchCase{"mixed_notifications",
                  batchOf({lookup(1), notification(kObject + "GetTabePrec", json::array({"0001"})),
                           lookup(2), notification(kObject + "Unknown", json::array())}),
                  true,
                  {{"1", 0}, {"2", 0}}},
        BatchCase{"only_notifications",
                  batchOf({notification(kObject + "GetTabePrec", json::array({"0001"})),
                           notification("rpc.hello", {{"user", "ana"}})}),
                  true,
                  {}},
        BatchCase{"errors_inside",
                  batchOf({call(1, kObject + "Unknown", json::array()),
                           call(2, kObject + "GetFilial", json::array({"0001"})),
                           call(3, kObject + "GetFilial", json::array({std::string(65, 'x'), ""})),
                           json{{"jsonrpc", "1.0"}, {"id", 4}, {"method", "x"}}, json(5),
                           call(6, "Vnd99999.Outro.GetFilial", json::array()), lookup(7),
                           call(8, "rpc.hello", {{"user", 1}})}),
                  true,
                  {{"1", rpc::kMethodNotFound},
                   {"2", rpc::kInvalidParams},
                   {"3", rpc::kInvalidParams},
                   {"4", rpc::kInvalidRequest},
                   {"null", rpc::kInvalidRequest},
                   {"6", rpc::kMethodNotFound},
                   {"7", 0},
                   {"8", rpc::kInvalidParams}}},
        BatchCase{"leading_blanks", "  \t" + batchOf({lookup(1)}), true, {{"1", 0}}},
        BatchCase{"empty", "[]", false, {{"null", rpc::kInvalidRequest}}, "lote de chamadas vazio"},
        BatchCase{"cut_off", "[" + lookup(1).dump(), false, {{"null", rpc::kParseError}},
                  "JSON inválido"},
        BatchCase{"over_the_cap", lookups(1001), false, {{"null", rpc::kInvalidRequest}},
                  "o lote tem 1001 chamadas; o limite é 1000"},
        BatchCase{"at_the_cap", lookups(1000), true, resultsFor(1000)}),
    [](const testing::TestParamInfo<BatchCase>& p) { return p.param.name; });

TEST_F(BatchServer, ALineOverTheFrameLimitIsOneErrorAndTheConnectionGoesOn) {
    start();
    LineClient client(server_->port());
    ASSERT_TRUE(client.send(lookups(4000) + "\n"));
    const auto refused = client.receive();
    ASSERT_TRUE(refused && refused->is_object());
    EXPECT_EQ((*refused)["error"]["code"], rpc::kInvalidRequest);
    EXPECT_NE((*refused)["error"]["message"].get<std::string>().find("262144 bytes"),
              std::string::npos);
    EXPECT_TRUE(client.call("GetTabePrec", json::array({"0001"})).contains("result"));
}

// failNext and stores go through a batch as through single lines: the refused call
// stores nothing, the others run.
TEST_F(BatchServer, FailNextAndStoresWorkInsideABatch) {
    start();
    server_->failNext("GetFilial", "Falha simulada.");
    LineClient client(server_->port());
    ASSERT_TRUE(client.send(batchOf({call(1, kObject + "GetFilial", json::array({"", "T"})),
                                     call(2, kObject + "GetFilial", json::array({"", "T"})),
                                     call(3, kObject + "SetPrecDif", testdb::baseRule())}) +
                            "\n"));
    const auto answers = client.receive();
    ASSERT_TRUE(answers && answers->is_array());
    EXPECT_EQ(codesById(*answers),
              (std::map<std::string, int>{{"1", rpc::kRefused}, {"2", 0}, {"3", 0}}));
    for (const json& answer : *answers) {
        if (answer["id"] == 1) {
            EXPECT_EQ(answer["error"]["message"], "Falha simulada.");
        }
        if (answer["id"] == 3) {
            EXPECT_EQ(answer["result"]["stored"], 20);
        }
    }
    EXPECT_EQ(server_->countRules(), 20);
}

struct GatedCase {
    const char* name;
    std::string batch;
    bool answered;  // the calls after rpc.auth are answered; else one refusal, closed
};

class GatedBatch : public BatchServer, public testing::WithParamInterface<GatedCase> {};

// A batch is let through the gate only by an rpc.auth with the token before its calls;
// otherwise the peer gets the refusal alone, nothing of the batch runs, and the
// connection is closed.
TEST_P(GatedBatch, PassesOnlyAfterAValidToken) {
    const GatedCase& c = GetParam();
    server::ServerOptions options;
    options.token = kToken;
    start(options);
    LineClient client(server_->port());
    ASSERT_TRUE(client.send(c.batch + "\n"));
    const auto answer = client.receive();
    ASSERT_TRUE(answer.has_value());
    if (c.answered) {
        ASSERT_TRUE(answer->is_array()) << answer->dump();
        EXPECT_EQ(codesById(*answer),
                  (std::map<std::string, int>{{"\"auth\"", 0}, {"1", 0}, {"2", 0}}));
        EXPECT_EQ(server_->countRules(), 20);
        EXPECT_TRUE(client.call("GetTabePrec", json::array({"0001"})).contains("result"));
    } else {
        ASSERT_TRUE(answer->is_object()) << answer->dump();
        EXPECT_EQ((*answer)["error"]["code"], rpc::kUnauthorized);
        EXPECT_TRUE(client.closedByServer());
        EXPECT_EQ(server_->countRules(), 0);
    }
}

const json kStore = call(2, kObject + "SetPrecDif", testdb::baseRule());

INSTANTIATE_TEST_SUITE_P(
    Cases, GatedBatch,
    testing::Values(
        GatedCase{"auth_first", batchOf({call("auth", "rpc.auth", json::array({kToken})),
                                         lookup(1), kStore}),
                  true},
        GatedCase{"no_auth", batchOf({lookup(1), kStore}), false},
        GatedCase{"auth_after_the_calls",
                  batchOf({kStore, call("auth", "rpc.auth", json::array({kToken}))}), false},
        GatedCase{"wrong_token",
                  batchOf({call("auth", "rpc.auth", json::array({kToken + "x"})), kStore}),
                  false},
        GatedCase{"empty", "[]", false},
        GatedCase{"over_the_cap", lookups(1001), false}),
    [](const testing::TestParamInfo<GatedCase>& p) { return p.param.name; });

// A stop that finds a batch under way lets it finish and sends its whole answer.
TEST_F(BatchServer, AStopLetsABatchUnderWayFinish) {
    start();
    LineClient client(server_->port());
    ASSERT_TRUE(client.send(lookups(1000) + "\n"));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    server_->stop();
    const auto answers = client.receive();
    ASSERT_TRUE(answers && answers->is_array());
    EXPECT_EQ(answers->size(), 1000u);
}

}  // namespace
