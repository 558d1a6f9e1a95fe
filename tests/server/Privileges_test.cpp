// The privileges the server needs of its PostgreSQL role, from one list: warned of at
// start, shown on the health page and by serve --check; a role granted that list and
// nothing more serves every call.

#include <chrono>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "HttpGet.h"
#include "LineClient.h"
#include "RuleArguments.h"
#include "TestDatabase.h"
#include "server/cli/Commands.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"
#include "server/ops/Log.h"
#include "server/ops/MetricsEndpoint.h"
#include "server/store/Schema.h"
#include "server/store/StoreFactory.h"

namespace {

using nlohmann::json;
using testdb::Backend;

// Every table the schema makes is one the server's needs name, and no other: a table
// added by a new schema version without its privileges would go unchecked.
TEST(StorePrivileges, TheNeedsNameEveryTableOfTheSchema) {
    std::set<std::string> made, needed;
    const std::regex create("CREATE TABLE IF NOT EXISTS ([A-Z]+) ");
    for (std::string_view sql : server::schema::upgradeFrom(0)) {
        std::cmatch found;
        if (std::regex_search(sql.begin(), sql.end(), found, create)) {
            made.insert(found[1].str());
        }
    }
    for (const server::schema::TableNeed& need : server::schema::kServerNeeds) {
        needed.insert(std::string(need.table));
    }
    EXPECT_EQ(made, needed);
}

// A login role of its own on the test database, granted the server's needs on their
// tables except one; dropped with what it was granted.
class LeastRole {
public:
    LeastRole(testdb::TestDatabase& db, std::string_view withoutTable,
              std::string_view withoutPrivilege)
        : db_(db), name_("pv_" + db.schema()) {
        db_.exec("CREATE ROLE " + name_ + " LOGIN; GRANT USAGE ON SCHEMA " + db_.schema() +
                 " TO " + name_);
        for (const server::schema::TableNeed& need : server::schema::kServerNeeds) {
            std::string privileges;
            std::istringstream listed{std::string(need.privileges)};
            for (std::string privilege; std::getline(listed >> std::ws, privilege, ',');) {
                if (need.table != withoutTable || privilege != withoutPrivilege) {
                    privileges.append(privileges.empty() ? "" : ", ").append(privilege);
                }
            }
            if (!privileges.empty()) {
                db_.exec("GRANT " + privileges + " ON " + std::string(need.table) + " TO " + name_);
            }
        }
    }
    ~LeastRole() { db_.exec("DROP OWNED BY " + name_ + "; DROP ROLE " + name_); }
    LeastRole(const LeastRole&) = delete;
    LeastRole& operator=(const LeastRole&) = delete;

    const std::string& name() const { return name_; }
    std::string url() const {
        std::string url = db_.url();
        return url.replace(url.find("://") + 3, url.find('@') - url.find("://") - 3, name_);
    }

private:
    testdb::TestDatabase& db_;
    std::string name_;
};

// Whether /healthz answers status within a few seconds.
bool healthTurns(unsigned short port, int status) {
    for (int i = 0; i < 250; ++i) {
        if (testdb::httpGet(port, "/healthz").status == status) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// A role short of one grant (the history's INSERT: every replacing store would fail) is
// told at start in a warning naming the GRANT, on /healthz (503, the GRANT in the body)
// and by serve --check; once granted, the health page turns to 200 without a restart and
// every call the server makes works with the needs alone.
TEST(StorePrivileges, AMissingGrantIsToldAndOnceGrantedEveryCallWorks) {
    if (auto why = testdb::unavailable(Backend::Postgres)) {
        GTEST_SKIP() << *why;
    }
    testdb::TestDatabase db(Backend::Postgres);
    server::initDatabase(db.url(), true, 5);
    LeastRole role(db, "PRECDIFHIST", "INSERT");
    const std::string grant = "GRANT INSERT ON precdifhist TO " + role.name();

    std::ostringstream logText;
    server::Log log(logText);
    server::ServerOptions options;
    options.log = &log;
    options.healthInterval = std::chrono::milliseconds(20);
    server::Server srv(role.url(), "127.0.0.1:0", options);
    srv.start();
    log.flush(std::chrono::seconds(2));
    std::smatch warning;
    const std::string logged = logText.str();
    ASSERT_TRUE(std::regex_search(logged, warning, std::regex("WARN +event=db-privilege-missing msg=\"[^\"]*\"")))
        << logged;
    EXPECT_NE(warning.str().find(grant), std::string::npos) << warning.str();
    // Only what is missing is named.
    EXPECT_EQ(logged.find("ON precdif TO"), std::string::npos) << logged;

    server::MetricsEndpoint endpoint(
        "127.0.0.1:0", [&] { return srv.metrics().render(); }, [&] { return srv.healthProblem(); });
    const testdb::HttpAnswer health = testdb::httpGet(endpoint.port(), "/healthz");
    EXPECT_EQ(health.status, 503);
    EXPECT_NE(health.body.find(grant), std::string::npos) << health.body;

    std::ostringstream out, err;
    EXPECT_EQ(server::runCommand({"serve", "--no-config", "--check", "--db", role.url()}, out, err), 1);
    EXPECT_NE(err.str().find(grant), std::string::npos) << out.str() << err.str();

    db.exec(grant);
    EXPECT_TRUE(healthTurns(endpoint.port(), 200));
    std::ostringstream checked, none;
    EXPECT_EQ(server::runCommand({"serve", "--no-config", "--check", "--db", role.url()}, checked,
                                 none),
              0)
        << none.str();

    testdb::LineClient client(srv.port());
    auto ok = [&](const std::string& method, const json& params) {
        const json answer = client.call(method, params);
        EXPECT_TRUE(answer.contains("result")) << method << ": " << answer.dump();
        return answer.value("result", json());
    };
    const json rule = testdb::listRule({"0000000001"});
    ok("SetPrecDif", rule);
    EXPECT_EQ(ok("SetPrecDif", rule)["replaced"], 1);  // into the history
    ok("GetPrecDifHist", json::array({"0001", "001", "0000000001", 0, 10}));
    ok("GetPrecoVigente",
       json::array({"0001", "001", "0000000001", "", testdb::date("2026-03-02"), "10:00"}));
    ok("GetFeriado", json::array({"0001", 2026}));
    json keys =
        ok("GetPrecDif", json::array({"0001", "001", nullptr, "", "", "", "", nullptr, 0, 10}))["rows"];
    auto keepKey = [](json& array) { array.erase(array.begin() + 10, array.end()); };
    keepKey(keys["$packet"]["fields"]);
    keepKey(keys["$packet"]["rows"][0]);
    ok("DelPrecDif", json::array({"0001", "001", keys}));
    srv.stop();
    EXPECT_EQ(server::openStore(db.url())->storedCounts().history, 2);
}

}  // namespace
