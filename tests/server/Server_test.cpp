// The real server on a loopback port: framing over TCP, many connections, restart.

#include <future>
#include <thread>

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include "RuleArguments.h"
#include "TestDatabase.h"
#include "protocol/Asio.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"

namespace {

using nlohmann::json;

// A blocking line client.
class Client {
public:
    explicit Client(unsigned short port) : socket_(io_) {
        socket_.connect({asio::ip::make_address("127.0.0.1"), port});
    }
    void send(const std::string& bytes) { asio::write(socket_, asio::buffer(bytes)); }
    json receive() {
        const std::size_t n = asio::read_until(socket_, asio::dynamic_buffer(buffer_), '\n');
        std::string line = buffer_.substr(0, n - 1);
        buffer_.erase(0, n);
        return json::parse(line);
    }
    json call(const std::string& method, const json& params) {
        send(json{{"jsonrpc", "2.0"}, {"id", ++id_}, {"method", "Vnd42400.rdmTabePreco." + method},
                  {"params", params}}
                 .dump() +
             "\n");
        return receive();
    }

private:
    asio::io_context io_;
    asio::ip::tcp::socket socket_;
    std::string buffer_;
    int id_ = 0;
};

class ServerTest : public testing::Test {
protected:
    void SetUp() override {
        server::initDatabase(db_.url(), true, 20);
        server_.start();
    }

    testdb::TestDatabase db_{testdb::Backend::Sqlite};
    server::Server server_{db_.url(), "127.0.0.1:0", 4096};
};

TEST_F(ServerTest, OversizedFrameIsRefusedAndTheConnectionGoesOn) {
    Client client(server_.port());
    client.send(std::string(10000, 'x') + "\n");
    const json refused = client.receive();
    EXPECT_EQ(refused["error"]["code"], -32600);
    EXPECT_EQ(client.call("GetTabePrec", json::array({"0001"}))["result"]["$packet"]["rows"].size(),
              2u);
}

TEST_F(ServerTest, MalformedLinesAreAnsweredInOrder) {
    Client client(server_.port());
    client.send("{oops\n\n[1]\n");
    EXPECT_EQ(client.receive()["error"]["code"], -32700);
    EXPECT_EQ(client.receive()["error"]["code"], -32700);
    EXPECT_EQ(client.receive()[0]["error"]["code"], -32600);  // a batch of one non-request
    EXPECT_TRUE(client.call("GetFilial", json::array({"0001", ""})).contains("result"));
}

TEST_F(ServerTest, ServesManyConnectionsAtOnce) {
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 8; ++i) {
        clients.push_back(std::make_unique<Client>(server_.port()));
    }
    std::vector<std::thread> threads;
    std::atomic<int> answered{0};
    for (auto& client : clients) {
        threads.emplace_back([&client, &answered] {
            for (int i = 0; i < 10; ++i) {
                if (client->call("GetFilial", json::array({"", "T"})).contains("result")) {
                    ++answered;
                }
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(answered, 80);
}

TEST_F(ServerTest, RestartsOnTheSamePortWithItsData) {
    const unsigned short port = server_.port();
    {
        Client client(port);
        EXPECT_EQ(client.call("SetPrecDif", testdb::baseRule())["result"]["stored"], 20);
    }
    Client idle(port);  // an open idle connection does not hold up the stop
    server_.stop();
    EXPECT_FALSE(server_.running());
    EXPECT_EQ(server_.countRules(), 20);
    server_.start();
    EXPECT_EQ(server_.port(), port);
    Client client(port);
    EXPECT_EQ(client.call("SetPrecDif", testdb::baseRule())["result"]["replaced"], 20);
    EXPECT_EQ(server_.countRules(), 20);
}

TEST_F(ServerTest, FailNextAsksBeforeAStartAreKept) {
    server_.stop();
    server_.failNext("GetFilial", "Falha simulada.");
    server_.start();
    Client client(server_.port());
    EXPECT_EQ(client.call("GetFilial", json::array({"", "T"}))["error"]["message"],
              "Falha simulada.");
    EXPECT_TRUE(client.call("GetFilial", json::array({"", "T"})).contains("result"));
}

TEST_F(ServerTest, APortInUseIsAClearError) {
    server::Server second(db_.url(), "127.0.0.1:" + std::to_string(server_.port()));
    try {
        second.start();
        FAIL() << "started twice on one port";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("Não foi possível escutar em 127.0.0.1:"),
                  std::string::npos)
            << e.what();
    }
}

// A count that waits for the database (a table another session holds locked) leaves the
// server's own state free: asking whether it runs, on which port, or stopping it does
// not wait for the count.
TEST(ServerCount, ACountWaitingForTheDatabaseHoldsNothingElse) {
    if (auto why = testdb::postgresUnavailable()) {
        GTEST_SKIP() << *why;
    }
    testdb::TestDatabase db(testdb::Backend::Postgres);
    server::initDatabase(db.url(), true, 5);
    server::ServerOptions options;
    options.dbTimeout = std::chrono::seconds(5);
    server::Server srv(db.url(), "127.0.0.1:0", options);
    srv.start();
    PGconn* locker = PQconnectdb(db.url().c_str());
    PQclear(PQexec(locker, "BEGIN"));
    PQclear(PQexec(locker, "LOCK TABLE PRECDIF IN ACCESS EXCLUSIVE MODE"));
    auto counting = std::async(std::launch::async, [&] {
        try {
            return srv.countRules();
        } catch (const std::exception&) {
            return -1L;
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_TRUE(srv.running());
    EXPECT_NE(srv.port(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(500));
    PQclear(PQexec(locker, "ROLLBACK"));
    PQfinish(locker);
    EXPECT_EQ(counting.get(), 0);
    srv.stop();
}

TEST(ServerSetup, BadAddressesAndDatabasesAreClearErrors) {
    EXPECT_THROW(server::Server("sqlite:/tmp/x.db", "127.0.0.1"), std::invalid_argument);
    EXPECT_THROW(server::Server("sqlite:/tmp/x.db", "127.0.0.1:99999"), std::invalid_argument);
    EXPECT_THROW(server::Server("mysql://x", "127.0.0.1:0").start(), std::invalid_argument);
    testdb::TestDatabase empty(testdb::Backend::Sqlite);
    empty.exec("SELECT 1");  // the file exists, with no schema
    server::Server never(empty.url(), "127.0.0.1:0");
    try {
        never.start();
        FAIL() << "served a database never initialised";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("não foi inicializado"), std::string::npos);
    }
}

}  // namespace
