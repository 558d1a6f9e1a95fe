// What the screen is told when the database refuses a call: what failed, in Portuguese,
// never the database's text or SQL, which go to the server's log under a number.

#include <regex>
#include <sstream>

#include <gtest/gtest.h>

#include "LineClient.h"
#include "RuleArguments.h"
#include "TestDatabase.h"
#include "protocol/JsonRpc.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"
#include "server/ops/Log.h"
#include "server/rpc/StoreCallError.h"
#include "server/rpc/PriceService.h"
#include "server/store/StoreFactory.h"

namespace {

using nlohmann::json;
using testdb::Backend;
using testdb::LineClient;

struct RefusalCase {
    const char* name;
    Backend backend;
    const char* message;     // the sentence the screen shows
    const char* logDetail;   // a piece of the database's own text in the log
};

class DatabaseRefusal : public testing::TestWithParam<RefusalCase> {
protected:
    void SetUp() override {
        if (auto why = testdb::unavailable(GetParam().backend)) {
            GTEST_SKIP() << *why;
        }
        db_ = std::make_unique<testdb::TestDatabase>(GetParam().backend);
        server::initDatabase(db_->url(), true, 20);
    }
    void TearDown() override {
        if (!role_.empty()) {
            db_->exec("DROP OWNED BY " + role_ + "; DROP ROLE " + role_);
        }
    }
    // A URL whose user may read every table but write none (PostgreSQL), or a database
    // whose rule table refuses every row (SQLite).
    std::string refusingUrl() {
        if (GetParam().backend == Backend::Sqlite) {
            db_->exec("CREATE TRIGGER deny BEFORE INSERT ON PRECDIF BEGIN"
                      " SELECT RAISE(ABORT, 'gravacao negada pelo gatilho'); END");
            return db_->url();
        }
        role_ = "ro_" + db_->schema();
        db_->exec("CREATE ROLE " + role_ + " LOGIN; GRANT USAGE ON SCHEMA " + db_->schema() +
                  " TO " + role_ + "; GRANT SELECT ON ALL TABLES IN SCHEMA " + db_->schema() +
                  " TO " + role_);
        std::string url = db_->url();
        url.replace(url.find("://") + 3, url.find('@') - url.find("://") - 3, role_);
        return url;
    }

    std::unique_ptr<testdb::TestDatabase> db_;
    std::string role_;
};

TEST_P(DatabaseRefusal, TheScreenIsToldWhatFailedAndTheLogWhy) {
    std::ostringstream logText;
    server::Log log(logText);
    server::ServerOptions options;
    options.log = &log;
    server::Server server(refusingUrl(), "127.0.0.1:0", options);
    server.start();
    LineClient client(server.port());
    const json answer = client.call("SetPrecDif", testdb::baseRule());
    server.stop();

    ASSERT_TRUE(answer.contains("error")) << answer.dump();
    const std::string message = answer["error"]["message"];
    EXPECT_EQ(answer["error"]["code"], wire::rpc::kInternalError);
    std::smatch found;
    ASSERT_TRUE(std::regex_match(
        message, found, std::regex("(.*) Ocorrência ([0-9a-z]{6}-[0-9]+) no registro do servidor\\.")))
        << message;
    EXPECT_EQ(found[1].str(), GetParam().message);
    for (const char* inside : {"ERROR", "SQL", "INSERT", "PRECDIF", "permission", "gatilho"}) {
        EXPECT_EQ(message.find(inside), std::string::npos) << inside << " in " << message;
    }
    const std::string text = logText.str();
    EXPECT_NE(text.find("event=failure occurrence=" + found[2].str() + " method=SetPrecDif "),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(GetParam().logDetail), std::string::npos) << text;
    EXPECT_NE(text.find(" ERROR "), std::string::npos) << text;
    EXPECT_EQ(server.countRules(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Backends, DatabaseRefusal,
    testing::Values(
        RefusalCase{"Sqlite", Backend::Sqlite,
                    "Não foi possível gravar a regra: o banco de dados recusou a operação.",
                    "gravacao negada pelo gatilho"},
        RefusalCase{"Postgres", Backend::Postgres,
                    "Não foi possível gravar a regra: o banco de dados recusou a operação "
                    "(permissão).",
                    "INSERT INTO PRECDIF"}),
    [](const testing::TestParamInfo<RefusalCase>& p) { return p.param.name; });

// The connection to PostgreSQL breaks while COMMIT is under way: whether the change took
// effect is not known, and the screen is told so, and that asking again is safe.
struct InDoubtCase {
    const char* method;
    const char* message;
};

class CommitInDoubt : public testing::TestWithParam<InDoubtCase> {};

TEST_P(CommitInDoubt, TheScreenIsToldTheChangeMayHaveHappened) {
    if (auto why = testdb::unavailable(Backend::Postgres)) {
        GTEST_SKIP() << *why;
    }
    testdb::TestDatabase db(Backend::Postgres);
    server::initDatabase(db.url(), true, 20);
    server::PriceService service(server::openStore(db.url()));
    auto call = [&](const std::string& method, const json& params) {
        return service.call(method, params, server::PriceService::Clock::time_point::max(),
                            {"maria", "caixa-3"});
    };
    const json rule = testdb::listRule({"0000000001"});
    call("SetPrecDif", rule);
    // The removal names the stored row by the ten key columns of its listing.
    json keys = call("GetPrecDif",
                     json::array({"0001", "001", nullptr, "", "", "", "", nullptr, 0, 10}))["rows"];
    auto keepKey = [](json& array) { array.erase(array.begin() + 10, array.end()); };
    keepKey(keys["$packet"]["fields"]);
    keepKey(keys["$packet"]["rows"][0]);
    // A check deferred to COMMIT that ends its own connection.
    db.exec(
        "CREATE FUNCTION CUT() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
        " PERFORM pg_terminate_backend(pg_backend_pid()); RETURN NULL; END $$;"
        "CREATE CONSTRAINT TRIGGER CUT AFTER INSERT OR UPDATE OR DELETE ON PRECDIF"
        " DEFERRABLE INITIALLY DEFERRED FOR EACH ROW EXECUTE FUNCTION CUT()");

    const std::string method = GetParam().method;
    try {
        call(method, method == "SetPrecDif" ? rule : json::array({"0001", "001", keys}));
        FAIL() << "answered as done";
    } catch (const server::StoreCallError& e) {
        EXPECT_EQ(e.kind(), server::StoreFailure::Lost) << e.detail();
        EXPECT_EQ(std::string(e.what()), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Methods, CommitInDoubt,
    testing::Values(
        InDoubtCase{"SetPrecDif",
                    "Não foi possível confirmar se a regra foi gravada: a conexão com o banco de "
                    "dados caiu durante a confirmação. Consulte as regras gravadas; repetir a "
                    "gravação é seguro, pois a mesma regra substitui a anterior."},
        InDoubtCase{"DelPrecDif",
                    "Não foi possível confirmar se as regras foram excluídas: a conexão com o "
                    "banco de dados caiu durante a confirmação. Consulte as regras gravadas; "
                    "repetir a exclusão é seguro, pois uma regra já excluída é apenas "
                    "informada como não gravada."}),
    [](const testing::TestParamInfo<InDoubtCase>& p) { return std::string(p.param.method); });

}  // namespace
