// Lookups on several connections to one database: one held by a slow call leaves the
// others answering, and stopping the server reaches every one.

#include <chrono>
#include <future>
#include <sstream>

#include <gtest/gtest.h>

#include "ForwardingStore.h"
#include "TestDatabase.h"
#include "protocol/JsonRpc.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/ServerDatabase.h"
#include "server/net/ServerOptions.h"
#include "server/ops/Log.h"
#include "server/rpc/PriceService.h"
#include "server/service/ChangeWaiters.h"
#include "server/store/StoreFactory.h"

namespace {

using nlohmann::json;
using testdb::Backend;
using Clock = std::chrono::steady_clock;

// Holds the first read that begins after arm() until release(): a call the database is
// slow to answer, keeping its connection busy.
class Hold {
public:
    void arm() { armed_ = true; }
    void waitHeld() { held_.get_future().wait(); }
    void release() { released_.set_value(); }
    void pass() {
        if (armed_.exchange(false)) {
            held_.set_value();
            releasedFuture_.wait();
        }
    }

private:
    std::atomic<bool> armed_{false};
    std::promise<void> held_;
    std::promise<void> released_;
    std::shared_future<void> releasedFuture_ = released_.get_future().share();
};

class HoldingStore : public testdb::ForwardingStore {
public:
    HoldingStore(std::unique_ptr<server::RuleStore> inner, Hold& hold)
        : ForwardingStore(std::move(inner)), hold_(hold) {}
    void readTogether(const std::function<void()>& body) override {
        hold_.pass();
        ForwardingStore::readTogether(body);
    }

private:
    Hold& hold_;
};

class ReadConnections : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (auto why = testdb::unavailable(GetParam())) {
            GTEST_SKIP() << *why;
        }
        db_ = std::make_unique<testdb::TestDatabase>(GetParam());
        server::initDatabase(db_->url(), true, 20);
    }
    // A service over connections, with a hold of its own.
    std::unique_ptr<server::PriceService> service(std::size_t connections) {
        hold_ = std::make_unique<Hold>();
        std::vector<std::unique_ptr<server::RuleStore>> stores;
        for (std::size_t i = 0; i < connections; ++i) {
            stores.push_back(std::make_unique<HoldingStore>(server::openStore(db_->url()), *hold_));
        }
        return std::make_unique<server::PriceService>(std::move(stores));
    }
    // A lookup that runs on a thread of its own and is held on its connection.
    std::future<json> heldLookup(server::PriceService& reads) {
        hold_->arm();
        auto lookup = std::async(std::launch::async, [&reads] {
            return reads.call("GetFilial", json::array({"", "T"}));
        });
        hold_->waitHeld();
        return lookup;
    }

    std::unique_ptr<testdb::TestDatabase> db_;
    std::unique_ptr<Hold> hold_;
};

TEST_P(ReadConnections, ALookupIsAnsweredWhileAnotherHoldsAConnection) {
    struct Case {
        std::size_t connections;
        bool answered;  // within its deadline, while the held call still runs
    };
    for (const Case c : {Case{1, false}, Case{2, true}}) {
        SCOPED_TRACE(c.connections);
        const auto reads = service(c.connections);
        auto held = heldLookup(*reads);
        const auto deadline = Clock::now() + std::chrono::milliseconds(500);
        if (c.answered) {
            EXPECT_EQ(reads->call("GetTabePrec", json::array({"0001"}), deadline)["$packet"]["rows"]
                          .size(),
                      2u);
        } else {
            EXPECT_THROW(reads->call("GetTabePrec", json::array({"0001"}), deadline),
                         wire::RpcError);
        }
        hold_->release();
        EXPECT_FALSE(held.get()["$packet"]["rows"].empty());
    }
}

TEST_P(ReadConnections, StoppingAbandonsTheCallsOfEveryConnection) {
    const auto reads = service(2);
    auto held = heldLookup(*reads);
    reads->interrupt();
    // The call now takes the connection nobody held; the held one goes on once released.
    EXPECT_THROW(reads->call("GetTabePrec", json::array({"0001"})), wire::RpcError);
    hold_->release();
    EXPECT_THROW(held.get(), wire::RpcError);
}

TEST_P(ReadConnections, TheServerOpensTheConnectionsAskedFor) {
    server::ServerOptions options;
    options.readConnections = 3;
    std::ostringstream logged;
    server::Log log(logged);
    server::ChangeWaiters waiters;
    server::ServerDatabase database(db_->url(), options, log, waiters);
    EXPECT_EQ(database.readConnections(), 3u);
    EXPECT_EQ(logged.str().find("db-read-connections"), std::string::npos) << logged.str();
}

INSTANTIATE_TEST_SUITE_P(Backends, ReadConnections,
                         testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const auto& param) { return std::string(testdb::name(param.param)); });

}  // namespace
