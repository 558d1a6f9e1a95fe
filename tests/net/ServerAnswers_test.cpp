// The screen's connection against servers that answer wrongly, late or not at all, and
// against a server that asks for a token or speaks TLS.

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "forms/Application.h"
#include "forms/Form.h"
#include "net/TNetConnection.h"
#include "protocol/Asio.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"

namespace {

using wire::Value;

// A one-connection server on loopback that answers the first line it reads with the
// given bytes (in that many pieces, a pause between them), then waits for the client to
// hang up.
class ScriptedServer {
public:
    explicit ScriptedServer(std::string reply, std::size_t pieces = 1)
        : acceptor_(io_, {asio::ip::make_address("127.0.0.1"), 0}),
          reply_(std::move(reply)),
          pieces_(pieces) {
        thread_ = std::thread([this] { serve(); });
    }
    ~ScriptedServer() {
        std::error_code ignored;
        acceptor_.close(ignored);
        thread_.join();
    }
    unsigned short port() const { return acceptor_.local_endpoint().port(); }

private:
    void serve() {
        std::error_code error;
        asio::ip::tcp::socket socket(io_);
        acceptor_.accept(socket, error);
        if (error) {
            return;
        }
        std::string in;
        asio::read_until(socket, asio::dynamic_buffer(in), '\n', error);
        const std::size_t piece = reply_.size() / pieces_ + 1;
        for (std::size_t at = 0; at < reply_.size() && !error; at += piece) {
            if (at > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            asio::write(socket, asio::buffer(reply_.data() + at, std::min(piece, reply_.size() - at)),
                        error);
        }
        if (reply_.find("CLOSE") != std::string::npos) {
            return;
        }
        std::array<char, 256> rest{};
        while (!error) {
            socket.read_some(asio::buffer(rest), error);  // until the client hangs up
        }
    }

    asio::io_context io_;
    asio::ip::tcp::acceptor acceptor_;
    std::string reply_;
    std::size_t pieces_;
    std::thread thread_;
};

struct AnswerCase {
    const char* name;
    std::string reply;
    const char* message;  // part of the text the user is shown
};

class WrongAnswer : public testing::TestWithParam<AnswerCase> {
protected:
    vol::Form form_{vol::Application::instance(), "frmTeste"};
    vol::TNetConnection net_{form_, "netTabePreco"};
};

// A wrong answer is a failed call with a Portuguese text naming the server, and the
// connection is dropped so that nothing of it is read as the next answer.
TEST_P(WrongAnswer, FailsTheCallClearlyAndDropsTheConnection) {
    ScriptedServer server(GetParam().reply);
    net_.ServerName = "Vnd42400.rdmTabePreco";
    net_.ThrowException = false;
    net_.Settings.callTimeout = std::chrono::milliseconds(500);
    net_.OnBeforeConnect = [&](vol::Component&) {
        net_.Host = "127.0.0.1";
        net_.Port = server.port();
    };
    const wire::CallResult result = net_.Call("GetTabePrec", {Value{std::string("0001")}});
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.errorMessage.find(GetParam().message), std::string::npos)
        << result.errorMessage;
    EXPECT_NE(result.errorMessage.find("127.0.0.1:" + std::to_string(server.port())),
              std::string::npos)
        << result.errorMessage;
    EXPECT_FALSE(net_.Connected());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WrongAnswer,
    testing::Values(
        AnswerCase{"not_json", "<html>Bad Gateway</html>\n", "Resposta inválida"},
        AnswerCase{"not_json_rpc", "{\"id\":1,\"result\":1}\n", "Resposta inválida"},
        AnswerCase{"other_call_id", R"({"jsonrpc":"2.0","id":999,"result":1})" "\n",
                   "Resposta inválida"},
        AnswerCase{"result_and_error",
                   R"({"jsonrpc":"2.0","id":1,"result":1,"error":{"code":1,"message":"x"}})" "\n",
                   "Resposta inválida"},
        AnswerCase{"packet_cell_not_text",
                   R"({"jsonrpc":"2.0","id":1,"result":{"$packet":{"fields":[{"name":"A",)"
                   R"("type":"string","size":1}],"rows":[[5]]}}})" "\n",
                   "Resposta inválida"},
        AnswerCase{"packet_row_too_short",
                   R"({"jsonrpc":"2.0","id":1,"result":{"$packet":{"fields":[{"name":"A",)"
                   R"("type":"string","size":1}],"rows":[[]]}}})" "\n",
                   "Resposta inválida"},
        AnswerCase{"deeply_nested", R"({"jsonrpc":"2.0","id":1,"result":)" +
                                        std::string(200, '[') + std::string(200, ']') + "}\n",
                   "Resposta inválida"},
        AnswerCase{"cut_off_then_closed", R"({"jsonrpc":"2.0","id":1,"res CLOSE)",
                   "foi interrompida"},
        AnswerCase{"silence", "", "não respondeu a tempo"}),
    [](const testing::TestParamInfo<AnswerCase>& p) { return p.param.name; });

// A view keeps its animation moving while a call waits: the application hears about the
// wait again and again until the answer (here: the time-out) comes.
TEST(WaitingCall, TellsTheApplicationItIsStillWaiting) {
    ScriptedServer server("");
    vol::Form form{vol::Application::instance(), "frmTeste"};
    vol::TNetConnection net{form, "netTabePreco"};
    net.ServerName = "Vnd42400.rdmTabePreco";
    net.ThrowException = false;
    net.Settings.callTimeout = std::chrono::milliseconds(400);
    net.OnBeforeConnect = [&](vol::Component&) {
        net.Host = "127.0.0.1";
        net.Port = server.port();
    };
    int waits = 0;
    vol::Application::instance().setWaitHook([&waits] { ++waits; });
    const wire::CallResult result = net.Call("GetTabePrec", {Value{std::string("0001")}});
    vol::Application::instance().setWaitHook(nullptr);
    EXPECT_FALSE(result.ok);
    EXPECT_GE(waits, 2);
}

// One GetTabePrec through a screen connection of its own to the scripted server; whether
// the connection is still open after it in `open`.
wire::CallResult callOnce(const ScriptedServer& server, bool& open) {
    vol::Form form{vol::Application::instance(), "frmTeste"};
    vol::TNetConnection net{form, "netTabePreco"};
    net.ThrowException = false;
    net.OnBeforeConnect = [&](vol::Component&) {
        net.Host = "127.0.0.1";
        net.Port = server.port();
    };
    wire::CallResult result = net.Call("GetTabePrec", {Value{std::string("0001")}});
    open = net.Connected();
    return result;
}

TEST(ExtraAnswer, AnAnswerFollowedByMoreIsTakenButTheConnectionIsDropped) {
    ScriptedServer server(R"({"jsonrpc":"2.0","id":1,"result":7})" "\n"
                          R"({"jsonrpc":"2.0","id":2,"result":8})" "\n");
    bool open = true;
    const auto result = callOnce(server, open);
    ASSERT_TRUE(result.ok) << result.errorMessage;
    EXPECT_FALSE(open);
}

// However an answer comes (whole, in pieces, ended by CRLF, longer than one read), the
// call gives the same value, and the connection stays open for the next.
TEST(AnswerReading, AnAnswerIsTheSameHoweverItComes) {
    struct Case {
        std::size_t size;
        std::size_t pieces;
        const char* end;
    };
    for (const Case c : {Case{10, 1, "\n"}, Case{10, 1, "\r\n"}, Case{3000, 3, "\n"},
                         Case{3000, 1, "\r\n"}, Case{200000, 1, "\n"}, Case{200000, 4, "\r\n"}}) {
        const std::string text(c.size, 'x');
        ScriptedServer server(R"({"jsonrpc":"2.0","id":1,"result":")" + text + "\"}" + c.end,
                              c.pieces);
        bool open = false;
        const auto result = callOnce(server, open);
        ASSERT_TRUE(result.ok) << result.errorMessage;
        EXPECT_EQ(std::get<std::string>(result.value), text)
            << c.size << " bytes in " << c.pieces << " pieces";
        EXPECT_TRUE(open);
    }
}

const std::string kToken = "a-long-shared-secret-0123456789";
const std::string kTls = VND_TEST_TLS_DIR;

struct SecureCase {
    const char* name;
    bool serverTls;
    std::string clientToken;
    std::string clientCa;
    bool connects;
    const char* message;
};

class SecureServer : public testing::TestWithParam<SecureCase> {};

TEST_P(SecureServer, ConnectsOnlyWithTheRightTokenAndAuthority) {
    const SecureCase& c = GetParam();
    const auto path = std::filesystem::temp_directory_path() /
                      ("vnd-net-secure-" + std::to_string(::getpid()) + ".db");
    const std::string url = "sqlite:" + path.string();
    server::initDatabase(url, true, 5);
    server::ServerOptions options;
    options.token = kToken;
    if (c.serverTls) {
        options.tlsCertificateFile = kTls + "/server.pem";
        options.tlsKeyFile = kTls + "/server.key";
    }
    options.requestTimeout = std::chrono::seconds(2);
    {
        server::Server server(url, "127.0.0.1:0", options);
        server.start();
        vol::Form form{vol::Application::instance(), "frmTeste"};
        vol::TNetConnection net{form, "netTabePreco"};
        net.ServerName = "Vnd42400.rdmTabePreco";
        net.ThrowException = false;
        net.Settings.token = c.clientToken;
        net.Settings.trustedCaFile = c.clientCa;
        net.Settings.connectTimeout = std::chrono::seconds(5);
        net.OnBeforeConnect = [&](vol::Component&) {
            net.Host = "127.0.0.1";
            net.Port = server.port();
        };
        const auto result = net.Call("GetTabePrec", {Value{std::string("0001")}});
        EXPECT_EQ(result.ok, c.connects) << result.errorMessage;
        EXPECT_NE(result.errorMessage.find(c.message), std::string::npos) << result.errorMessage;
    }
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(path.string() + suffix);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SecureServer,
    testing::Values(
        SecureCase{"token", false, kToken, "", true, ""},
        SecureCase{"no_token", false, "", "", false, "Autenticação necessária"},
        SecureCase{"wrong_token", false, kToken + "!", "", false, "Token de acesso inválido"},
        SecureCase{"tls_and_token", true, kToken, kTls + "/ca.pem", true, ""},
        SecureCase{"tls_untrusted", true, kToken, kTls + "/other-ca.pem", false,
                   "Não foi possível conectar"},
        SecureCase{"plain_client_tls_server", true, kToken, "", false,
                   "Não foi possível conectar"}),
    [](const testing::TestParamInfo<SecureCase>& p) { return p.param.name; });

}  // namespace
