// Who gets a connection: peers that never log in hold a slot for the login time at most
// and cannot keep real clients out; a TLS client of a full server can read why it was
// refused; failed logins are logged and an address that fails too often is locked out.

#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "LineClient.h"
#include "TestDatabase.h"
#include "protocol/JsonRpc.h"
#include "server/ops/Log.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"

namespace {

using nlohmann::json;
using testdb::LineClient;
namespace rpc = wire::rpc;

const std::string kToken = "a-long-shared-secret-0123456789";
const std::string kCa = std::string(VND_TEST_TLS_DIR) + "/ca.pem";

std::string authLine(const std::string& token) {
    return json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "rpc.auth"}, {"params", {token}}}
               .dump() +
           "\n";
}

bool logsIn(LineClient& client, const std::string& token = kToken) {
    client.send(authLine(token));
    const auto answer = client.receive(std::chrono::seconds(10));
    return answer && answer->value("result", false);
}

server::ServerOptions tlsOptions(std::size_t maxConnections, std::chrono::milliseconds login) {
    server::ServerOptions o;
    o.token = kToken;
    o.tlsCertificateFile = std::string(VND_TEST_TLS_DIR) + "/server.pem";
    o.tlsKeyFile = std::string(VND_TEST_TLS_DIR) + "/server.key";
    o.maxConnections = maxConnections;
    o.authTimeout = login;
    return o;
}

class Admission : public testing::Test {
protected:
    void SetUp() override { server::initDatabase(db_.url(), true, 5); }
    testdb::TestDatabase db_{testdb::Backend::Sqlite};
};

// Three TLS peers that never log in used to hold every slot of a three-connection server
// for the idle time; a real client then got a plain-text notice it could not read.
TEST_F(Admission, PeersThatNeverLogInCannotKeepARealClientOut) {
    server::Server server(db_.url(), "127.0.0.1:0", tlsOptions(3, std::chrono::minutes(1)));
    server.start();
    std::vector<std::unique_ptr<LineClient>> idle;
    for (int i = 0; i < 3; ++i) {
        idle.push_back(std::make_unique<LineClient>(server.port(), kCa));
    }
    LineClient client(server.port(), kCa);
    ASSERT_TRUE(logsIn(client));
    EXPECT_TRUE(client.call("GetTabePrec", json::array({"0001"})).contains("result"));
    int closed = 0;
    for (auto& peer : idle) {
        closed += peer->closedByServer(std::chrono::seconds(5)) ? 1 : 0;
    }
    EXPECT_GE(closed, 1);
}

TEST_F(Admission, APeerThatDoesNotLogInIsClosedAfterTheLoginTime) {
    server::Server server(db_.url(), "127.0.0.1:0",
                          tlsOptions(10, std::chrono::milliseconds(500)));
    server.start();
    LineClient silent(server.port(), kCa);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(silent.closedByServer(std::chrono::seconds(10)));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    // One that logged in is held to the idle time only.
    LineClient client(server.port(), kCa);
    ASSERT_TRUE(logsIn(client));
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_TRUE(client.call("GetTabePrec", json::array({"0001"})).contains("result"));
}

TEST_F(Admission, ATlsClientOfAFullServerReadsWhyItWasRefused) {
    server::Server server(db_.url(), "127.0.0.1:0", tlsOptions(2, std::chrono::minutes(1)));
    server.start();
    // One at a time: a two-connection server lets one peer at a time log in.
    LineClient first(server.port(), kCa);
    ASSERT_TRUE(logsIn(first));
    LineClient second(server.port(), kCa);
    ASSERT_TRUE(logsIn(second));
    std::unique_ptr<LineClient> third;
    ASSERT_NO_THROW(third = std::make_unique<LineClient>(server.port(), kCa));
    const auto notice = third->receive(std::chrono::seconds(10));
    ASSERT_TRUE(notice.has_value());
    EXPECT_EQ((*notice)["error"]["code"], rpc::kRefused) << notice->dump();
    EXPECT_NE((*notice)["error"]["message"].get<std::string>().find("Servidor de aplicação ocupado"),
              std::string::npos);
    EXPECT_TRUE(third->closedByServer(std::chrono::seconds(5)));
    EXPECT_TRUE(first.call("GetTabePrec", json::array({"0001"})).contains("result"));
}

struct LockoutCase {
    const char* name;
    std::chrono::milliseconds lockout;
    std::chrono::milliseconds pause;  // after the failures, before the right token
    bool rightTokenAccepted;
};

class Lockout : public Admission, public testing::WithParamInterface<LockoutCase> {};

// Five wrong tokens from one address in a short time lock it out: the right token is then
// refused too until the lockout ends. Every failure is in the log with the address.
TEST_P(Lockout, AnAddressThatFailsTooOftenWaits) {
    std::ostringstream logText;
    server::Log log(logText);
    server::ServerOptions o;
    o.token = kToken;
    o.authFailures = 5;
    o.authLockout = std::chrono::duration_cast<std::chrono::seconds>(GetParam().lockout);
    o.log = &log;
    server::Server server(db_.url(), "127.0.0.1:0", o);
    server.start();
    for (int i = 0; i < 5; ++i) {
        LineClient guesser(server.port());
        EXPECT_FALSE(logsIn(guesser, "guess-" + std::to_string(i)));
    }
    std::this_thread::sleep_for(GetParam().pause);
    LineClient client(server.port());
    client.send(authLine(kToken));
    const auto answer = client.receive(std::chrono::seconds(10));
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->value("result", false), GetParam().rightTokenAccepted) << answer->dump();
    if (!GetParam().rightTokenAccepted) {
        EXPECT_EQ((*answer)["error"]["code"], rpc::kUnauthorized);
        EXPECT_NE((*answer)["error"]["message"].get<std::string>().find(
                      "Muitas tentativas de autenticação inválidas"),
                  std::string::npos);
    }
    server.stop();
    const std::string text = logText.str();
    std::size_t failures = 0;
    for (auto at = text.find("autenticação recusada de 127.0.0.1"); at != std::string::npos;
         at = text.find("autenticação recusada de 127.0.0.1", at + 1)) {
        ++failures;
    }
    EXPECT_EQ(failures, 5u) << text;
    EXPECT_NE(text.find("endereço 127.0.0.1 bloqueado"), std::string::npos) << text;
    EXPECT_NE(text.find(" WARN "), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Lockout,
    testing::Values(LockoutCase{"during_the_lockout", std::chrono::seconds(60),
                                std::chrono::milliseconds(0), false},
                    LockoutCase{"after_the_lockout", std::chrono::seconds(1),
                                std::chrono::milliseconds(1200), true}),
    [](const testing::TestParamInfo<LockoutCase>& p) { return p.param.name; });

}  // namespace
