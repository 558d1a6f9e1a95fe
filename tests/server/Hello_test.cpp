// rpc.hello: the user and workstation a connection names, kept in its session and carried
// by every call it makes after.

#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "LineClient.h"
#include "RuleArguments.h"
#include "TestDatabase.h"
#include "protocol/JsonRpc.h"
#include "server/rpc/Dispatcher.h"
#include "server/ops/Log.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"
#include "server/store/StoreFactory.h"

namespace {

using nlohmann::json;
namespace rpc = wire::rpc;

const std::string kToken = "a-long-shared-secret-0123456789";

std::string hello(const json& params, const json& id = json()) {
    json message{{"jsonrpc", "2.0"}, {"method", "rpc.hello"}, {"params", params}};
    if (!id.is_null()) {
        message["id"] = id;
    }
    return message.dump();
}
std::string request(const std::string& method, const json& params) {
    return json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", method}, {"params", params}}.dump();
}
const std::string kLookup = request("Vnd42400.rdmTabePreco.GetTabePrec", json::array({"0001"}));

class HelloDispatcher : public testing::Test {
protected:
    void SetUp() override {
        server::initDatabase(db_.url(), true, 5);
        service_ = std::make_unique<server::PriceService>(server::openStore(db_.url()));
        server::ServerOptions options;
        options.token = kToken;
        dispatcher_ = std::make_unique<server::Dispatcher>(*service_, *service_, options);
        session_.peer = "10.0.0.7";
        session_.station = session_.peer;
    }
    void login() {
        ASSERT_TRUE(dispatcher_->handle(request("rpc.auth", json::array({kToken})), session_));
    }
    // The call a lookup line prepares now.
    server::Dispatcher::Call prepared() {
        auto step = dispatcher_->prepare(kLookup, session_);
        EXPECT_TRUE(step.call.has_value());
        return step.call.value_or(server::Dispatcher::Call{});
    }

    testdb::TestDatabase db_{testdb::Backend::Sqlite};
    std::unique_ptr<server::PriceService> service_;
    std::unique_ptr<server::Dispatcher> dispatcher_;
    server::Dispatcher::Session session_;
};

TEST_F(HelloDispatcher, CallsCarryTheNamesOfTheirSessionWhenPrepared) {
    login();
    server::Dispatcher::Call before = prepared();
    EXPECT_EQ(before.user, "");
    EXPECT_EQ(before.station, "10.0.0.7");

    EXPECT_FALSE(dispatcher_->handle(hello({{"user", "ana"}, {"station", "caixa-01"}}), session_));
    EXPECT_EQ(session_.user, "ana");
    EXPECT_EQ(session_.station, "caixa-01");
    server::Dispatcher::Call named = prepared();
    EXPECT_EQ(named.user, "ana");
    EXPECT_EQ(named.station, "caixa-01");

    // A later hello replaces the names; calls prepared before keep theirs. A station not
    // given is the peer's address again.
    const auto answer = dispatcher_->handle(hello({{"user", "bruno"}}, 9), session_);
    ASSERT_TRUE(answer);
    EXPECT_EQ(json::parse(*answer)["result"], true);
    EXPECT_EQ(prepared().station, "10.0.0.7");
    EXPECT_EQ(prepared().user, "bruno");
    EXPECT_EQ(named.user, "ana");
}

struct BadHello {
    const char* name;
    json params;
    const char* message;
};

class InvalidHello : public HelloDispatcher, public testing::WithParamInterface<BadHello> {};

// A hello that is not valid changes nothing: ignored as a notification, answered -32602
// with an id.
TEST_P(InvalidHello, ChangesNothing) {
    login();
    ASSERT_FALSE(dispatcher_->handle(hello({{"user", "ana"}, {"station", "caixa-01"}}), session_));
    EXPECT_FALSE(dispatcher_->handle(hello(GetParam().params), session_));
    const auto answer = dispatcher_->handle(hello(GetParam().params, 3), session_);
    ASSERT_TRUE(answer);
    const json reply = json::parse(*answer);
    EXPECT_EQ(reply["id"], 3);
    EXPECT_EQ(reply["error"]["code"], rpc::kInvalidParams);
    EXPECT_NE(reply["error"]["message"].get<std::string>().find(GetParam().message),
              std::string::npos)
        << reply.dump();
    EXPECT_EQ(session_.user, "ana");
    EXPECT_EQ(session_.station, "caixa-01");
    EXPECT_FALSE(session_.closeAfterAnswer);
}

std::string repeated(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InvalidHello,
    testing::Values(
        BadHello{"user_too_long", {{"user", std::string(65, 'a')}}, "passa de 64 caracteres"},
        BadHello{"station_too_long", {{"station", repeated("ç", 65)}}, "passa de 64 caracteres"},
        BadHello{"user_not_text", {{"user", 7}}, "\"user\" deve ser texto"},
        BadHello{"station_null", {{"station", nullptr}}, "\"station\" deve ser texto"},
        BadHello{"control_character", {{"user", "ana\nERRO falso"}}, "caracteres de controle"},
        BadHello{"positional", json::array({"ana", "caixa-01"}), "devem ser um objeto"}),
    [](const testing::TestParamInfo<BadHello>& p) { return p.param.name; });

TEST_F(HelloDispatcher, SixtyFourCharactersAreNotSixtyFourBytes) {
    login();
    EXPECT_FALSE(dispatcher_->handle(hello({{"user", repeated("ç", 64)}}), session_));
    EXPECT_EQ(session_.user, repeated("ç", 64));
}

TEST_F(HelloDispatcher, BeforeTheTokenItIsRefusedLikeAnyCall) {
    const auto answer = dispatcher_->handle(hello({{"user", "ana"}}), session_);
    ASSERT_TRUE(answer);
    EXPECT_EQ(json::parse(*answer)["error"]["code"], rpc::kUnauthorized);
    EXPECT_TRUE(session_.closeAfterAnswer);
    EXPECT_EQ(session_.user, "");
}

// Over the wire: the server takes the names into the connection's session (its debug
// log shows them) and the rule history records them with the changes made after, with
// the peer's address standing for a station not named.
TEST(HelloOverTheWire, NamesTheConnectionsUserAndStation) {
    testdb::TestDatabase db{testdb::Backend::Sqlite};
    server::initDatabase(db.url(), true, 5);
    std::ostringstream logText;
    server::Log log(logText, server::LogLevel::Debug);
    server::ServerOptions options;
    options.log = &log;
    server::Server server(db.url(), "127.0.0.1:0", options);
    server.start();
    {
        testdb::LineClient client(server.port());
        ASSERT_TRUE(client.send(hello({{"user", "ana"}, {"station", "caixa-01"}}) + "\n"));
        EXPECT_TRUE(client.call("SetPrecDif", testdb::baseRule()).contains("result"));
        EXPECT_EQ(client.call("rpc.hello", {{"user", "bruno"}})["result"], true);
        EXPECT_EQ(client.call("rpc.hello", {{"user", 5}})["error"]["code"], rpc::kInvalidParams);
        EXPECT_TRUE(client.call("SetPrecDif", testdb::baseRule()).contains("result"));
    }
    {
        // A connection that names nobody: no user, and its address for the station.
        testdb::LineClient client(server.port());
        EXPECT_TRUE(client.call("SetPrecDif", testdb::baseRule()).contains("result"));
        const json history =
            client.call("GetPrecDifHist", json::array({"0001", "001", "0000000001", 0, 10}))["result"];
        std::multiset<std::pair<std::string, std::string>> who;
        for (const json& row : history["rows"]["$packet"]["rows"]) {
            who.insert({row[12].get<std::string>(), row[13].get<std::string>()});
        }
        // The first replacement was made by bruno at the peer's address (his hello named
        // no station), the second by nobody.
        EXPECT_EQ(who, (std::multiset<std::pair<std::string, std::string>>{
                           {"bruno", "127.0.0.1"}, {"", "127.0.0.1"}}))
            << history.dump();
    }
    server.stop();
    const std::string text = logText.str();
    EXPECT_NE(text.find("event=hello peer=127.0.0.1 user=ana station=caixa-01"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("event=hello peer=127.0.0.1 user=bruno station=127.0.0.1"),
              std::string::npos)
        << text;
    // Every call's line names the user the last hello gave.
    EXPECT_NE(text.find("event=call method=SetPrecDif peer=127.0.0.1 user=bruno "),
              std::string::npos)
        << text;
}

}  // namespace
