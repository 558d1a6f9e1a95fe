// The real server against hostile and misbehaving peers on a loopback port: malformed
// and oversized lines, too many connections, idle and slow peers.

#include <cerrno>
#include <thread>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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

server::ServerOptions limits() {
    server::ServerOptions o;
    o.frameLimit = 64 * 1024;
    o.maxConnections = 3;
    o.idleTimeout = std::chrono::milliseconds(400);
    o.requestTimeout = std::chrono::milliseconds(600);
    o.writeTimeout = std::chrono::milliseconds(600);
    return o;
}

class LimitsTest : public testing::Test {
protected:
    void SetUp() override {
        server::initDatabase(db_.url(), true, 20);
        server_.start();
    }
    json goodCall(LineClient& client) {
        return client.call("GetTabePrec", json::array({"0001"}));
    }

    testdb::TestDatabase db_{testdb::Backend::Sqlite};
    server::Server server_{db_.url(), "127.0.0.1:0", limits()};
};

struct HostileCase {
    const char* name;
    std::string line;
    int code;
};

class HostileLine : public LimitsTest, public testing::WithParamInterface<HostileCase> {};

// Each line is refused with its error, stores nothing, and the connection serves on.
TEST_P(HostileLine, IsRefusedAndTheConnectionServesOn) {
    LineClient client(server_.port());
    ASSERT_TRUE(client.send(GetParam().line + "\n"));
    const auto answer = client.receive();
    ASSERT_TRUE(answer.has_value());
    ASSERT_TRUE(answer->contains("error")) << answer->dump();
    EXPECT_EQ((*answer)["error"]["code"], GetParam().code) << answer->dump();
    EXPECT_TRUE(goodCall(client).contains("result"));
    EXPECT_EQ(server_.countRules(), 0);
}

std::string setPrecDif(const json& params) {
    return json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "Vnd42400.rdmTabePreco.SetPrecDif"},
                {"params", params}}
        .dump();
}

json withArg(int position, json value) {
    json rule = testdb::baseRule();
    testdb::arg(rule, position) = std::move(value);
    return rule;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostileLine,
    testing::Values(
        HostileCase{"oversized", std::string(100'000, 'x'), rpc::kInvalidRequest},
        HostileCase{"deep_nesting", std::string(50'000, '[') + std::string(50'000, ']'),
                    rpc::kInvalidRequest},
        HostileCase{"invalid_utf8", "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"\xc3\x28\"}",
                    rpc::kParseError},
        HostileCase{"nul_byte", std::string("{\"jsonrpc\":\"2.0\",\0}", 19), rpc::kParseError},
        HostileCase{"huge_branch_code",
                    setPrecDif(withArg(testdb::kBranch, std::string(40'000, '0'))),
                    rpc::kInvalidParams},
        HostileCase{"amount_out_of_range", setPrecDif(withArg(testdb::kAmount, 1e308)),
                    rpc::kInvalidParams},
        HostileCase{"amount_overflows_double",
                    R"({"jsonrpc":"2.0","id":1,"method":"Vnd42400.rdmTabePreco.GetFilial",)"
                    R"("params":[1e400]})",
                    rpc::kParseError},
        HostileCase{"packet_bomb_cell",
                    setPrecDif([] {
                        json rule = testdb::listRule({std::string(40'000, '1')});
                        return rule;
                    }()),
                    rpc::kInvalidParams},
        HostileCase{"long_date_pattern",
                    R"({"jsonrpc":"2.0","id":1,"method":"Vnd42400.rdmTabePreco.getVigencia",)"
                    R"("params":["0001","001",0,"T",")" + std::string(5000, 'd') + R"("]})",
                    rpc::kInvalidParams},
        HostileCase{"wrong_count", setPrecDif(json::array({true})), rpc::kInvalidParams}),
    [](const testing::TestParamInfo<HostileCase>& p) { return p.param.name; });

// A data packet argument in every hostile shape, sent to every method that takes one.
struct HostilePacket {
    const char* name;
    json packet;
};

json keyFields() {
    json fields = json::array();
    for (const char* name : {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO", "IDDIA",
                             "CDTIPOCONS", "HRINI", "HRFIN", "DTINIVALID", "DTFINVALID"}) {
        fields.push_back({{"name", name}});
    }
    return fields;
}

json packet(json body) {
    return {{"$packet", std::move(body)}};
}

// The packet as SetPrecDif's and SimPrecDif's product list (list mode), or as DelPrecDif's
// keys.
std::string packetCall(const std::string& method, const json& products) {
    json params;
    if (method == "DelPrecDif") {
        params = json::array({"0001", "001", products});
    } else {
        params = testdb::listRule({"1"});
        testdb::arg(params, testdb::kProducts) = products;
    }
    return json{{"jsonrpc", "2.0"},
                {"id", 7},
                {"method", "Vnd42400.rdmTabePreco." + method},
                {"params", params}}
        .dump();
}

class HostilePacketArgument
    : public LimitsTest,
      public testing::WithParamInterface<std::tuple<const char*, HostilePacket>> {};

TEST_P(HostilePacketArgument, IsRefusedAsAnArgumentAndTheServerServesOn) {
    const auto& [method, hostile] = GetParam();
    LineClient client(server_.port());
    ASSERT_TRUE(client.send(packetCall(method, hostile.packet) + "\n"));
    const auto answer = client.receive();
    ASSERT_TRUE(answer.has_value()) << "no answer: the server is gone";
    ASSERT_TRUE(answer->contains("error")) << answer->dump();
    EXPECT_EQ((*answer)["error"]["code"], rpc::kInvalidParams) << answer->dump();
    EXPECT_TRUE(goodCall(client).contains("result"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostilePacketArgument,
    testing::Combine(
        testing::Values("SetPrecDif", "SimPrecDif", "DelPrecDif"),
        testing::Values(
            HostilePacket{"no_rows", packet({{"fields", keyFields()}})},
            HostilePacket{"no_fields", packet({{"rows", json::array()}})},
            HostilePacket{"rows_an_object",
                          packet({{"fields", keyFields()}, {"rows", json::object()}})},
            HostilePacket{"rows_a_text", packet({{"fields", keyFields()}, {"rows", "x"}})},
            HostilePacket{"fields_an_object",
                          packet({{"fields", json::object()}, {"rows", json::array()}})},
            HostilePacket{"fields_null", packet({{"fields", nullptr}, {"rows", json::array()}})},
            HostilePacket{"short_row", packet({{"fields", keyFields()},
                                               {"rows", json::array({json::array({"0001"})})}})},
            HostilePacket{"row_not_an_array",
                          packet({{"fields", json::array({{{"name", "CDPRODUTO"}}})},
                                  {"rows", json::array({"1"})}})},
            HostilePacket{"nested_array_cell",
                          packet({{"fields", json::array({{{"name", "CDPRODUTO"}}})},
                                  {"rows", json::array({json::array({json::array({"1"})})})}})},
            HostilePacket{"field_without_name", packet({{"fields", json::array({json::object()})},
                                                        {"rows", json::array()}})},
            HostilePacket{"field_name_a_number", packet({{"fields", json::array({{{"name", 1}}})},
                                                         {"rows", json::array()}})},
            HostilePacket{"body_an_array", packet(json::array())},
            HostilePacket{
                "key_beside_packet",
                json{{"$packet", {{"fields", keyFields()}, {"rows", json::array()}}}, {"x", 1}}})),
    [](const auto& p) {
        return std::string(std::get<0>(p.param)) + "_" + std::get<1>(p.param).name;
    });

TEST_F(LimitsTest, OneConnectionTooManyIsToldAndClosed) {
    std::vector<std::unique_ptr<LineClient>> held;
    for (int i = 0; i < 3; ++i) {
        held.push_back(std::make_unique<LineClient>(server_.port()));
        ASSERT_TRUE(goodCall(*held.back()).contains("result"));  // surely accepted
    }
    LineClient extra(server_.port());
    const auto notice = extra.receive();
    ASSERT_TRUE(notice.has_value());
    EXPECT_EQ((*notice)["error"]["code"], rpc::kRefused);
    EXPECT_TRUE(extra.closedByServer());
    held.pop_back();
    // The freed place is taken again once the server has seen the close.
    bool served = false;
    for (int i = 0; i < 50 && !served; ++i) {
        LineClient again(server_.port());
        served = goodCall(again).contains("result");
        if (!served) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    EXPECT_TRUE(served);
}

TEST_F(LimitsTest, AnIdleConnectionIsClosed) {
    LineClient client(server_.port());
    EXPECT_TRUE(goodCall(client).contains("result"));
    EXPECT_TRUE(client.closedByServer());
}

// A peer that trickles a request byte by byte is cut off after the request time, and
// meanwhile every other connection is served: the slow one holds no thread.
TEST_F(LimitsTest, ASlowRequestIsCutOffWithoutHoldingUpOthers) {
    LineClient slow(server_.port());
    LineClient other(server_.port());
    const std::string request =
        json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", "Vnd42400.rdmTabePreco.GetFilial"},
             {"params", json::array({"", "T"})}}
            .dump();
    bool cut = false;
    int othersServed = 0;
    for (std::size_t i = 0; i < request.size() && !cut; ++i) {
        cut = !slow.send(request.substr(i, 1));
        if (goodCall(other).contains("result")) {
            ++othersServed;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    EXPECT_TRUE(cut || slow.closedByServer());
    EXPECT_GT(othersServed, 0);
}

TEST_F(LimitsTest, ASteadyCallerIsNotMistakenForAnIdleOne) {
    LineClient client(server_.port());
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(goodCall(client).contains("result")) << "call " << i;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
}

// A peer that sends request after request and never reads the answers fills the
// socket; the answer that cannot be sent is given up after the write time and the
// connection closed, while other peers are served.
TEST_F(LimitsTest, APeerThatDoesNotReadItsAnswersIsCutOff) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    const int small = 4096;  // the answers soon fill this and the server's send buffer
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(server_.port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const std::string line = json{{"jsonrpc", "2.0"},
                                  {"id", 1},
                                  {"method", "Vnd42400.rdmTabePreco.GetFilial"},
                                  {"params", json::array({"", "T"})}}
                                 .dump() +
                             "\n";
    // Requests go on until the server closes the connection: once the answers fill
    // both sockets' buffers, the write stalls and is given up after the write time.
    // A server that waited for ever would leave every send "would block" to the end.
    // Meanwhile other peers are served.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool closed = false;
    bool otherServed = false;
    while (!closed && std::chrono::steady_clock::now() < deadline) {
        const auto n = ::send(fd, line.data(), line.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            closed = true;
        } else if (n < 0) {
            if (!otherServed) {
                LineClient other(server_.port());
                otherServed = goodCall(other).contains("result");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ::close(fd);
    EXPECT_TRUE(otherServed);
    EXPECT_TRUE(closed) << "the stuck write was never given up";
}

}  // namespace
