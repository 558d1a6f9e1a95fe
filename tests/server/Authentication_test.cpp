// Who may talk to the server: the access token, loopback by default, TLS; and the retry
// of a store that another writer held up.

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "LineClient.h"
#include "RuleArguments.h"
#include "TestDatabase.h"
#include "protocol/JsonRpc.h"
#include "server/cli/Commands.h"
#include "server/cli/DatabaseInit.h"
#include "server/cli/TokenSource.h"
#include "server/net/Server.h"
#include "server/rpc/Dispatcher.h"
#include "server/service/Refusal.h"
#include "server/service/TransientFailure.h"

namespace {

using nlohmann::json;
using testdb::LineClient;
namespace rpc = wire::rpc;

const std::string kToken = "a-long-shared-secret-0123456789";

std::string line(const std::string& method, const json& params) {
    return json{{"jsonrpc", "2.0"}, {"id", 1}, {"method", method}, {"params", params}}.dump() +
           "\n";
}

class TokenServer : public testing::Test {
protected:
    void SetUp() override {
        server::initDatabase(db_.url(), true, 20);
        server_.start();
    }
    static server::ServerOptions options() {
        server::ServerOptions o;
        o.token = kToken;
        return o;
    }

    testdb::TestDatabase db_{testdb::Backend::Sqlite};
    server::Server server_{db_.url(), "127.0.0.1:0", options()};
};

struct FirstLineCase {
    const char* name;
    std::string first;
};

class WithoutTheToken : public TokenServer, public testing::WithParamInterface<FirstLineCase> {};

// Whatever a connection sends before a valid token, it gets the authentication error
// alone, nothing is stored, and the connection is closed.
TEST_P(WithoutTheToken, GetsOnlyTheAuthenticationErrorAndIsClosed) {
    LineClient client(server_.port());
    ASSERT_TRUE(client.send(GetParam().first));
    client.send(line("Vnd42400.rdmTabePreco.SetPrecDif", testdb::baseRule()));
    const auto answer = client.receive();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ((*answer)["error"]["code"], rpc::kUnauthorized) << answer->dump();
    EXPECT_TRUE(client.closedByServer());
    EXPECT_EQ(server_.countRules(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WithoutTheToken,
    testing::Values(
        FirstLineCase{"a_call", line("Vnd42400.rdmTabePreco.GetFilial", json::array({"", "T"}))},
        FirstLineCase{"wrong_token", line("rpc.auth", json::array({kToken + "x"}))},
        FirstLineCase{"token_prefix", line("rpc.auth", json::array({kToken.substr(0, 8)}))},
        FirstLineCase{"empty_token", line("rpc.auth", json::array({""}))},
        FirstLineCase{"token_not_text", line("rpc.auth", json::array({42}))},
        FirstLineCase{"no_params", line("rpc.auth", json::array())},
        FirstLineCase{"malformed_json", "{\"method\":\"rpc.auth\"\n"},
        FirstLineCase{"a_batch", R"([{"jsonrpc":"2.0","id":1,"method":"rpc.hello","params":{}},)"
                                 R"({"jsonrpc":"2.0","id":2,"method":"rpc.auth","params":[]}])"
                                 "\n"},
        FirstLineCase{"hello_first", R"({"jsonrpc":"2.0","method":"rpc.hello","params":{"user":"ana"}})"
                                     "\n"},
        FirstLineCase{"notification", R"({"jsonrpc":"2.0","method":"rpc.auth","params":[]})"
                                      "\n"}),
    [](const testing::TestParamInfo<FirstLineCase>& p) { return p.param.name; });

TEST_F(TokenServer, TheRightTokenOpensTheConnectionForCalls) {
    LineClient client(server_.port());
    EXPECT_EQ(client.call("rpc.auth", json::array({kToken}))["result"], true);
    EXPECT_EQ(client.call("SetPrecDif", testdb::baseRule())["result"]["stored"], 20);
}

TEST(TokenlessServer, AcceptsClientsWithAndWithoutAuth) {
    testdb::TestDatabase db(testdb::Backend::Sqlite);
    server::initDatabase(db.url(), true, 20);
    server::Server server(db.url(), "127.0.0.1:0");
    server.start();
    LineClient plain(server.port());
    EXPECT_TRUE(plain.call("GetFilial", json::array({"", "T"})).contains("result"));
    LineClient withToken(server.port());
    EXPECT_EQ(withToken.call("rpc.auth", json::array({"anything-at-all-here"}))["result"], true);
    EXPECT_TRUE(withToken.call("GetFilial", json::array({"", "T"})).contains("result"));
}

TEST(ListenAddress, OnlyLoopbackIsServedWithoutAToken) {
    testdb::TestDatabase db(testdb::Backend::Sqlite);
    server::initDatabase(db.url(), true, 5);
    server::Server open(db.url(), "0.0.0.0:0");
    try {
        open.start();
        FAIL() << "listened on every address without a token";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("token"), std::string::npos) << e.what();
    }
    server::ServerOptions withToken;
    withToken.token = kToken;
    withToken.allowPlainText = true;
    server::Server guarded(db.url(), "0.0.0.0:0", withToken);
    EXPECT_NO_THROW(guarded.start());
}

// Off loopback the token would cross the network: only under TLS, or where plain text is
// said to be meant. Loopback stays as it was.
TEST(ListenAddress, ATokenLeavesLoopbackOnlyUnderTlsOrWhenPlainTextIsMeant) {
    testdb::TestDatabase db(testdb::Backend::Sqlite);
    server::initDatabase(db.url(), true, 5);
    const std::string tls = VND_TEST_TLS_DIR;
    struct Case {
        const char* name;
        const char* listen;
        bool useTls;
        bool allowPlainText;
        bool starts;
    };
    const Case cases[] = {
        {"every_address_in_clear", "0.0.0.0:0", false, false, false},
        {"every_address_in_clear_on_purpose", "0.0.0.0:0", false, true, true},
        {"every_address_under_tls", "0.0.0.0:0", true, false, true},
        {"loopback_in_clear", "127.0.0.1:0", false, false, true},
    };
    for (const Case& c : cases) {
        server::ServerOptions o;
        o.token = kToken;
        o.allowPlainText = c.allowPlainText;
        if (c.useTls) {
            o.tlsCertificateFile = tls + "/server.pem";
            o.tlsKeyFile = tls + "/server.key";
        }
        server::Server server(db.url(), c.listen, o);
        try {
            server.start();
            EXPECT_TRUE(c.starts) << c.name;
        } catch (const std::runtime_error& e) {
            EXPECT_FALSE(c.starts) << c.name << ": " << e.what();
            const std::string what = e.what();
            EXPECT_NE(what.find("0.0.0.0:0"), std::string::npos) << what;
            EXPECT_NE(what.find("--tls-cert/--tls-key"), std::string::npos) << what;
        }
    }
}

const std::string kTls = VND_TEST_TLS_DIR;

class TlsServer : public testing::Test {
protected:
    void SetUp() override {
        server::initDatabase(db_.url(), true, 20);
        server_.start();
    }
    static server::ServerOptions options() {
        server::ServerOptions o;
        o.tlsCertificateFile = kTls + "/server.pem";
        o.tlsKeyFile = kTls + "/server.key";
        o.requestTimeout = std::chrono::seconds(2);
        return o;
    }

    testdb::TestDatabase db_{testdb::Backend::Sqlite};
    server::Server server_{db_.url(), "127.0.0.1:0", options()};
};

TEST_F(TlsServer, ServesAClientThatTrustsItsCertificate) {
    LineClient client(server_.port(), kTls + "/ca.pem");
    EXPECT_TRUE(client.call("GetTabePrec", json::array({"0001"})).contains("result"));
}

TEST_F(TlsServer, AClientTrustingAnotherAuthorityRefusesIt) {
    EXPECT_THROW(LineClient(server_.port(), kTls + "/other-ca.pem"), std::system_error);
}

TEST_F(TlsServer, PlainTextIsNeverAnswered) {
    LineClient plain(server_.port());
    plain.send(line("Vnd42400.rdmTabePreco.GetFilial", json::array({"", "T"})));
    EXPECT_TRUE(plain.closedByServer());
}

TEST(TlsSetup, AMissingCertificateIsAClearError) {
    testdb::TestDatabase db(testdb::Backend::Sqlite);
    server::initDatabase(db.url(), true, 5);
    server::ServerOptions o;
    o.tlsCertificateFile = kTls + "/missing.pem";
    o.tlsKeyFile = kTls + "/server.key";
    server::Server server(db.url(), "127.0.0.1:0", o);
    EXPECT_THROW(server.start(), std::runtime_error);
}

// The token never comes from the command line; a file others may read is refused.
TEST(TokenSource, ReadsAPrivateFileAndRefusesAnOpenOne) {
    namespace fs = std::filesystem;
    const fs::path file =
        fs::temp_directory_path() / ("vnd-token-" + std::to_string(::getpid()));
    std::ofstream(file) << kToken << "\r\n";
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(server::loadToken(file.string()), kToken);
    fs::permissions(file, fs::perms::others_read, fs::perm_options::add);
    EXPECT_THROW(server::loadToken(file.string()), std::runtime_error);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    std::ofstream(file) << "short\n";
    EXPECT_THROW(server::loadToken(file.string()), std::runtime_error);
    fs::remove(file);
    EXPECT_THROW(server::loadToken(file.string()), std::runtime_error);
}

// A token file that was read but holds no usable token says so, not that it could not be
// read (a reload logs this).
TEST(TokenSource, SaysWhyAFileReadIsRefused) {
    namespace fs = std::filesystem;
    const fs::path file =
        fs::temp_directory_path() / ("vnd-token-why-" + std::to_string(::getpid()));
    const struct {
        const char* text;
        const char* why;
    } cases[] = {{"", "está vazio"}, {"\r\n", "está vazio"}, {"curto\n", "ao menos 16"}};
    for (const auto& c : cases) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << c.text;
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
        try {
            server::loadToken(file.string());
            ADD_FAILURE() << "took \"" << c.text << '"';
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.why), std::string::npos) << e.what();
        }
    }
    fs::remove(file);
}

// A store that fails because another writer held the database is made again; one that
// fails for another reason is reported at once.
struct RetryCase {
    const char* name;
    int failures;
    enum Kind { AnotherWriter, DatabaseFault, RefusedRule } kind;
    int attempts;  // made in all
    bool succeeds;
};

class StoreRetry : public testing::TestWithParam<RetryCase> {};

TEST_P(StoreRetry, RetriesOnlyWhatAnotherWriterCaused) {
    const RetryCase& c = GetParam();
    // The texts mention locks either way: only the kind of failure may count.
    const std::string text = "Erro no banco de dados (COMMIT): database is locked";
    int attempts = 0;
    auto store = [&]() -> json {
        if (++attempts <= c.failures) {
            switch (c.kind) {
                case RetryCase::AnotherWriter:
                    throw server::TransientStoreError(text);
                case RetryCase::DatabaseFault:
                    throw server::StoreError(server::StoreFailure::Other, text);
                case RetryCase::RefusedRule:
                    throw server::Refusal(server::Refusal::Reason::Rule, text);
            }
        }
        return json{{"stored", 1}};
    };
    bool succeeded = false;
    try {
        succeeded = server::retryTransient(store)["stored"] == 1;
    } catch (const server::StoreError& e) {
        // The last failure goes on as it was, for the caller to tell in the screen's words.
        EXPECT_EQ(e.kind(), c.kind == RetryCase::AnotherWriter ? server::StoreFailure::Busy
                                                               : server::StoreFailure::Other);
    } catch (const server::Refusal&) {
        EXPECT_EQ(c.kind, RetryCase::RefusedRule);
    }
    EXPECT_EQ(succeeded, c.succeeds);
    EXPECT_EQ(attempts, c.attempts);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoreRetry,
    testing::Values(RetryCase{"another_writer_three_times", 3, RetryCase::AnotherWriter, 4, true},
                    RetryCase{"another_writer_once", 1, RetryCase::AnotherWriter, 2, true},
                    RetryCase{"database_fault", 1, RetryCase::DatabaseFault, 1, false},
                    RetryCase{"refused_rule", 1, RetryCase::RefusedRule, 1, false},
                    RetryCase{"another_writer_for_ever", 100, RetryCase::AnotherWriter,
                              server::kStoreAttempts, false}),
    [](const testing::TestParamInfo<RetryCase>& p) { return p.param.name; });

}  // namespace

namespace {

TEST(ServeCommand, NeverTakesTheTokenOnTheCommandLineNorServesOpenlyWithoutOne) {
    testdb::TestDatabase db(testdb::Backend::Sqlite);
    server::initDatabase(db.url(), true, 5);
    const std::string tokenFile = db.url().substr(std::string("sqlite:").size()) + ".token";
    std::ofstream(tokenFile) << kToken << "\n";
    std::filesystem::permissions(tokenFile,
                                 std::filesystem::perms::owner_read |
                                     std::filesystem::perms::owner_write);
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* err;
    };
    const Case cases[] = {
        {{"serve", "--db", db.url(), "--token", kToken}, 2, "linha de comando"},
        {{"serve", "--db", db.url(), "--listen", "0.0.0.0:0"}, 1, "token"},
        {{"serve", "--db", db.url(), "--tls-cert", "x.pem"}, 2, "--tls-key"},
        {{"serve", "--db", db.url(), "--max-connections", "0"}, 2, "--max-connections"},
        {{"serve", "--db", db.url(), "--token-file", "/nonexistent/token"}, 1, "token"},
        {{"serve", "--db", db.url(), "--listen", "0.0.0.0:0", "--token-file", tokenFile}, 1,
         "--tls-cert/--tls-key"},
    };
    for (const Case& c : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(server::runCommand(c.args, out, err), c.status) << err.str();
        EXPECT_NE(err.str().find(c.err), std::string::npos) << err.str();
    }
    std::filesystem::remove(tokenFile);
}

}  // namespace
