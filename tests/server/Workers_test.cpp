// Where the real server does a connection's work: lines are framed on the socket threads
// and parsed and run on the workers, each call on the pool of its kind, and the answers
// of lines read together are written as they are ready.

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "LineClient.h"
#include "RuleArguments.h"
#include "TestDatabase.h"
#include "protocol/JsonRpc.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"

namespace {

using nlohmann::json;
using testdb::LineClient;
using Clock = std::chrono::steady_clock;

std::string line(int id, const std::string& method, const json& params) {
    return wire::encodeRequest(id, "Vnd42400.rdmTabePreco." + method, params) + "\n";
}

const std::string kLookup = line(1, "GetTabePrec", json::array({"0001"}));

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class Workers : public testing::Test {
protected:
    void start(int products, unsigned lookupThreads) {
        server::initDatabase(db_.url(), true, products);
        server::ServerOptions options;
        options.workerThreads = lookupThreads;
        options.storeTimeout = std::chrono::seconds(3);
        server_ = std::make_unique<server::Server>(db_.url(), "127.0.0.1:0", options);
        server_->start();
    }
    // How long a lookup on a connection of its own takes to be answered.
    double lookupSeconds() {
        LineClient client(server_->port());
        const auto sent = Clock::now();
        EXPECT_TRUE(client.send(kLookup));
        EXPECT_TRUE(client.receive().has_value());
        return secondsSince(sent);
    }

    testdb::TestDatabase db_{testdb::Backend::Sqlite};
    std::unique_ptr<server::Server> server_;
};

// A store read together with a lookup before it runs on the stores' threads all the same:
// while it waits for the database, lookups are answered.
TEST_F(Workers, AStoreReadTogetherWithALookupRunsOnTheStoresThreads) {
    start(20, 1);  // a lookup thread held up by the store is every lookup held up
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(db_.url().substr(std::string("sqlite:").size()).c_str(), &other),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    LineClient storing(server_->port());
    ASSERT_TRUE(storing.send(kLookup + line(2, "SetPrecDif", testdb::baseRule())));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the store now waits
    EXPECT_LT(lookupSeconds(), 1.5);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_TRUE(storing.receive().has_value());
    EXPECT_TRUE(storing.receive().has_value());
}

// A line of many megabytes is parsed away from the socket thread: the other connections of
// that thread are answered meanwhile.
TEST_F(Workers, ALargeLineDoesNotHoldUpTheConnectionsOfItsSocketThread) {
    start(20, 4);
    // A list of 60,000 products, refused only once all of it has been read: its last
    // code is too long.
    std::vector<json> codes(60'000, json("0000000001"));
    codes.back() = std::string(65, '1');
    const std::string large = line(3, "SetPrecDif", testdb::listRule(codes));
    codes.clear();
    // The server takes connections to its two socket threads in turn: the first and the
    // third share one.
    LineClient sender(server_->port());
    LineClient between(server_->port());
    LineClient neighbour(server_->port());
    for (LineClient* client : {&sender, &between, &neighbour}) {
        ASSERT_TRUE(client->send(kLookup));
        ASSERT_TRUE(client->receive().has_value());
    }
    std::atomic<bool> answered{false};
    double largeSeconds = 0;
    std::thread send([&] {
        const auto sent = Clock::now();
        sender.send(large);
        const auto answer = sender.receive(std::chrono::seconds(120));
        largeSeconds = secondsSince(sent);
        EXPECT_TRUE(answer && answer->contains("error"));
        answered = true;
    });
    double slowest = 0;
    while (!answered) {
        const auto sent = Clock::now();
        ASSERT_TRUE(neighbour.send(kLookup));
        ASSERT_TRUE(neighbour.receive().has_value());
        slowest = std::max(slowest, secondsSince(sent));
    }
    send.join();
    EXPECT_LT(slowest, largeSeconds / 4) << "the large line took " << largeSeconds << " s";
}

// Lines read together are answered one by one as each is ready, not all at the end: what
// a connection holds is one answer, not the answers of every line it sent at once.
TEST_F(Workers, LinesReadTogetherAreAnsweredAsEachIsReady) {
    start(2000, 1);
    const std::string book =
        line(4, "GetPrecosVigentes",
             json::array({"0001", "001", "", {{"$date", "2026-03-10"}}, "12:00"}));
    std::string lines;
    for (int i = 0; i < 30; ++i) {
        lines += book;
    }
    LineClient client(server_->port());
    const auto sent = Clock::now();
    ASSERT_TRUE(client.send(lines));
    ASSERT_TRUE(client.receiveLine().has_value());
    const double first = secondsSince(sent);
    for (int i = 1; i < 30; ++i) {
        ASSERT_TRUE(client.receiveLine().has_value());
    }
    const double last = secondsSince(sent);
    EXPECT_LT(first, last / 4) << "first answer after " << first << " s, last after " << last;
}

}  // namespace
