#include "net/TNetConnection.h"

#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "forms/Application.h"
#include "forms/Form.h"
#include "net/Workstation.h"
#include "protocol/Asio.h"
#include "server/ops/Log.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"

namespace {

using wire::Value;

// A port nothing listens on: bound once to learn a free one, then closed.
unsigned short closedPort() {
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
    return acceptor.local_endpoint().port();
}

class NetConnection : public testing::Test {
protected:
    void SetUp() override {
        server::initDatabase(url_, true, 20);
        server_.start();
        net_.ServerName = "Vnd42400.rdmTabePreco";
        net_.ThrowException = false;
        net_.OnBeforeConnect = [this](vol::Component&) {
            ++opens_;
            net_.Host = "127.0.0.1";
            net_.Port = port_ ? port_ : server_.port();
        };
        vol::Application::instance().setRemoteCallObserver(
            [this](const std::string& method, const std::string& args) {
                calls_.push_back(method + " " + args);
            });
    }
    void TearDown() override {
        vol::Application::instance().setRemoteCallObserver(nullptr);
        std::filesystem::remove(path_);
        std::filesystem::remove(path_ + "-wal");
        std::filesystem::remove(path_ + "-shm");
    }

    std::string path_ = (std::filesystem::temp_directory_path() /
                         ("vnd-net-test-" + std::to_string(::getpid()) + ".db"))
                            .string();
    std::string url_ = "sqlite:" + path_;
    server::Server server_{url_, "127.0.0.1:0"};
    vol::Form form_{vol::Application::instance(), "frmTeste"};
    vol::TNetConnection net_{form_, "netTabePreco"};
    unsigned short port_ = 0;
    int opens_ = 0;
    std::vector<std::string> calls_;
};

TEST_F(NetConnection, CallsTheServerWithTypedArguments) {
    net_.Open();
    ASSERT_TRUE(net_.Connected()) << net_.LastError();
    const wire::CallResult result = net_.Call(
        "getVigencia", {Value{std::string("0001")}, Value{std::string("001")},
                        Value{wire::Date{2026, 1, 1}}, Value{std::string()},
                        Value{std::string("dd/mm/yyyy")}});
    ASSERT_TRUE(result.ok) << result.errorMessage;
    const auto& packet = std::get<wire::DataPacket>(result.value);
    ASSERT_EQ(packet.rows.size(), 1u);
    EXPECT_EQ(packet.rows[0][1], "31/12/2026");
    ASSERT_EQ(calls_.size(), 1u);
    EXPECT_EQ(calls_[0],
              "getVigencia [\"0001\",\"001\",{\"$date\":\"2026-01-01\"},\"\",\"dd/mm/yyyy\"]");
}

TEST_F(NetConnection, ServerRefusalsComeBackWithTheirText) {
    server_.failNext("GetFilial", "Filial bloqueada.");
    const auto result = net_.Call("GetFilial", {Value{std::string("0001")}, Value{std::string()}});
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorMessage, "Filial bloqueada.");
    EXPECT_TRUE(net_.Connected());
    EXPECT_TRUE(net_.Call("GetTabePrec", {Value{std::string("0001")}}).ok);
}

TEST_F(NetConnection, ARefusedConnectionNamesHostAndPort) {
    port_ = closedPort();
    net_.Open();
    EXPECT_FALSE(net_.Connected());
    const std::string where = "127.0.0.1:" + std::to_string(port_);
    EXPECT_EQ(net_.LastError(), "Não foi possível conectar ao servidor de aplicação " + where +
                                    " (conexão recusada).");
    const auto result = net_.Call("GetTabePrec", {Value{std::string("0001")}});
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.errorMessage.find(where), std::string::npos);
    EXPECT_TRUE(calls_.empty());  // nothing went on the wire

    net_.ThrowException = true;
    EXPECT_THROW(net_.Call("GetTabePrec", {Value{std::string("0001")}}), std::runtime_error);
}

TEST_F(NetConnection, ABrokenConnectionIsOpenedAgainByTheNextCall) {
    ASSERT_TRUE(net_.Call("GetTabePrec", {Value{std::string("0001")}}).ok);
    EXPECT_EQ(opens_, 1);
    server_.stop();
    const auto down = net_.Call("GetTabePrec", {Value{std::string("0001")}});
    EXPECT_FALSE(down.ok);
    EXPECT_NE(down.errorMessage.find("127.0.0.1:"), std::string::npos) << down.errorMessage;
    server_.start();
    const auto up = net_.Call("GetTabePrec", {Value{std::string("0001")}});
    EXPECT_TRUE(up.ok) << up.errorMessage;
    EXPECT_GE(opens_, 2);
}

TEST_F(NetConnection, ARestartBetweenCallsIsNotNoticed) {
    ASSERT_TRUE(net_.Call("GetTabePrec", {Value{std::string("0001")}}).ok);
    server_.stop();
    server_.start();
    const auto result = net_.Call("GetTabePrec", {Value{std::string("0001")}});
    EXPECT_TRUE(result.ok) << result.errorMessage;
    EXPECT_EQ(opens_, 2);
}

// Every connection tells the server who is calling, a reconnect after a restart too; the
// server's debug log shows the names its sessions took. The scenario runner does not
// count the hello as a call of the screen's.
TEST(NetConnectionHello, EveryOpenNamesTheLoginAndTheHost) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("vnd-net-hello-" + std::to_string(::getpid()) + ".db"))
                                 .string();
    server::initDatabase("sqlite:" + path, true, 5);
    std::ostringstream logText;
    server::Log log(logText, server::LogLevel::Debug);
    server::ServerOptions options;
    options.log = &log;
    options.token = "a-long-shared-secret-0123456789";
    server::Server server("sqlite:" + path, "127.0.0.1:0", options);
    server.start();
    std::vector<std::string> calls;
    vol::Application::instance().setRemoteCallObserver(
        [&calls](const std::string& method, const std::string&) { calls.push_back(method); });
    {
        vol::Form form{vol::Application::instance(), "frmTeste"};
        vol::TNetConnection net{form, "netTabePreco"};
        net.ServerName = "Vnd42400.rdmTabePreco";
        net.ThrowException = false;
        net.Settings.token = options.token;
        net.OnBeforeConnect = [&](vol::Component&) {
            net.Host = "127.0.0.1";
            net.Port = server.port();
        };
        EXPECT_TRUE(net.Call("GetTabePrec", {Value{std::string("0001")}}).ok);
        server.stop();
        server.start();
        const auto again = net.Call("GetTabePrec", {Value{std::string("0001")}});
        EXPECT_TRUE(again.ok) << again.errorMessage;
    }
    vol::Application::instance().setRemoteCallObserver(nullptr);
    server.stop();
    const vol::Workstation& self = vol::Workstation::current();
    EXPECT_FALSE(self.user.empty());
    EXPECT_FALSE(self.host.empty());
    const std::string named =
        "event=hello peer=127.0.0.1 user=" + self.user + " station=" + self.host;
    const std::string text = logText.str();
    std::size_t hellos = 0;
    for (auto at = text.find(named); at != std::string::npos; at = text.find(named, at + 1)) {
        ++hellos;
    }
    EXPECT_EQ(hellos, 2u) << text;
    EXPECT_EQ(calls, (std::vector<std::string>{"GetTabePrec", "GetTabePrec"}));
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(path + suffix);
    }
}

TEST(Workstation, NamesAreCutToSixtyFourCharactersOfValidText) {
    struct Case {
        std::string text;
        std::string cut;
    };
    std::string accents;
    for (int i = 0; i < 70; ++i) {
        accents += "ã";
    }
    const Case cases[] = {
        {"caixa-01", "caixa-01"},
        {std::string(70, 'a'), std::string(64, 'a')},
        {accents, accents.substr(0, 128)},
        {"ana\xff", "ana\xef\xbf\xbd"},  // a byte that is no UTF-8 becomes U+FFFD
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vol::Workstation::cut(c.text), c.cut) << c.text;
    }
}

}  // namespace
