// The server's counters and the HTTP port that shows them.

#include <filesystem>
#include <future>
#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "HttpGet.h"
#include "LineClient.h"
#include "RuleArguments.h"
#include "TestDatabase.h"
#include "server/ops/HealthProbe.h"
#include "server/ops/Metrics.h"
#include "server/ops/MetricsEndpoint.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"

namespace {

using namespace std::chrono_literals;

// The value of one sample line of a page ("name{labels} value"), -1 when absent.
double sample(const std::string& page, const std::string& series) {
    const auto at = page.find("\n" + series + " ");
    if (at == std::string::npos) return -1;
    return std::stod(page.substr(at + series.size() + 2));
}

TEST(Metrics, CountsCallsRowsAndFailuresInThePrometheusFormat) {
    server::Metrics m;
    m.recordCall("getfilial", true, 3ms);
    m.recordCall("getfilial", true, 30ms);
    m.recordCall("getfilial", false, 2s);
    m.addRows(5, 2);
    m.addRemoved(4);
    m.authFailure();
    m.databaseError();
    m.databaseError();
    m.watchConnections([] { return std::size_t{3}; });
    const std::string page = m.render();
    EXPECT_EQ(sample(page, "vnd_calls_total{method=\"getfilial\",result=\"ok\"}"), 2);
    EXPECT_EQ(sample(page, "vnd_calls_total{method=\"getfilial\",result=\"error\"}"), 1);
    // Buckets count every call up to their bound: cumulative, +Inf all of them.
    EXPECT_EQ(sample(page, "vnd_call_duration_seconds_bucket{method=\"getfilial\",le=\"0.005\"}"), 1);
    EXPECT_EQ(sample(page, "vnd_call_duration_seconds_bucket{method=\"getfilial\",le=\"0.05\"}"), 2);
    EXPECT_EQ(sample(page, "vnd_call_duration_seconds_bucket{method=\"getfilial\",le=\"1\"}"), 2);
    EXPECT_EQ(sample(page, "vnd_call_duration_seconds_bucket{method=\"getfilial\",le=\"+Inf\"}"), 3);
    EXPECT_EQ(sample(page, "vnd_call_duration_seconds_count{method=\"getfilial\"}"), 3);
    EXPECT_NEAR(sample(page, "vnd_call_duration_seconds_sum{method=\"getfilial\"}"), 2.033, 1e-9);
    EXPECT_EQ(sample(page, "vnd_rows_stored_total"), 5);
    EXPECT_EQ(sample(page, "vnd_rows_replaced_total"), 2);
    EXPECT_EQ(sample(page, "vnd_rows_removed_total"), 4);
    EXPECT_EQ(sample(page, "vnd_open_connections"), 3);
    EXPECT_EQ(sample(page, "vnd_auth_failures_total"), 1);
    EXPECT_EQ(sample(page, "vnd_database_errors_total"), 2);
    // Every sample's family is declared once before it, as scrapers require.
    for (const char* family : {"vnd_calls_total counter", "vnd_call_duration_seconds histogram",
                               "vnd_open_connections gauge"}) {
        EXPECT_NE(page.find(std::string("# TYPE ") + family + "\n"), std::string::npos) << family;
    }
}

TEST(MetricsEndpoint, RoutesRequests) {
    const server::MetricsEndpoint::Page page = [] { return std::string("vnd_x 1\n"); };
    bool healthy = true;
    const server::MetricsEndpoint::Health health = [&] {
        return healthy ? std::string() : std::string(server::kDatabaseUnavailable);
    };
    struct Case {
        const char* head;
        bool healthy;
        const char* statusLine;
        const char* body;  // nullptr: none
    };
    const Case cases[] = {
        {"GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n", true, "HTTP/1.0 200 OK", "vnd_x 1\n"},
        {"GET /healthz HTTP/1.0\r\n\r\n", true, "HTTP/1.0 200 OK", "ok\n"},
        {"GET /healthz?verbose=1 HTTP/1.0\r\n\r\n", false, "HTTP/1.0 503 Service Unavailable",
         "database unavailable\n"},
        {"HEAD /healthz HTTP/1.0\r\n\r\n", false, "HTTP/1.0 503 Service Unavailable", nullptr},
        {"GET / HTTP/1.0\r\n\r\n", true, "HTTP/1.0 404 Not Found", "not found\n"},
        {"POST /metrics HTTP/1.0\r\n\r\n", true, "HTTP/1.0 405 Method Not Allowed", nullptr},
        {"nonsense\r\n\r\n", true, "HTTP/1.0 400 Bad Request", nullptr},
    };
    for (const Case& c : cases) {
        healthy = c.healthy;
        const std::string answer = server::MetricsEndpoint::answer(c.head, page, health);
        EXPECT_EQ(answer.rfind(std::string(c.statusLine) + "\r\n", 0), 0u) << answer;
        const std::string body = answer.substr(answer.find("\r\n\r\n") + 4);
        if (c.body != nullptr) {
            EXPECT_EQ(body, c.body) << c.head;
        } else if (std::string(c.head).rfind("HEAD", 0) == 0) {
            EXPECT_EQ(body, "") << c.head;
        }
    }
}

// A question that hangs never holds the answer: healthy() gives the known answer at once,
// then "no" once it is older than its bound, then the answer of the next question.
TEST(HealthProbe, AQuestionThatHangsTurnsTheAnswerToNoWithinItsBound) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    int asked = 0;
    server::HealthProbe probe(
        [&] {
            if (asked++ == 0) released.wait();
            return std::string();
        },
        10ms, 300ms);
    EXPECT_EQ(probe.problem(), server::kDatabaseUnavailable);  // not open
    probe.open("");
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(probe.problem(), "");
    EXPECT_LT(std::chrono::steady_clock::now() - before, 100ms);
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(probe.problem(), server::kDatabaseUnavailable);  // the first question still hangs
    release.set_value();
    bool again = false;
    for (int i = 0; i < 100 && !again; ++i) {
        std::this_thread::sleep_for(10ms);
        again = probe.problem().empty();
    }
    EXPECT_TRUE(again);
    probe.close();
    EXPECT_EQ(probe.problem(), server::kDatabaseUnavailable);
}

// A running server, seen over HTTP: its calls and stores counted, /healthz following the
// database as it goes away and comes back.
TEST(MetricsEndpoint, ShowsARunningServerAndItsDatabaseHealth) {
    testdb::TestDatabase db(testdb::Backend::Sqlite);
    server::initDatabase(db.url(), true, 5);
    server::ServerOptions options;
    options.healthInterval = std::chrono::milliseconds(20);
    server::Server srv(db.url(), "127.0.0.1:0", options);
    srv.start();
    server::MetricsEndpoint endpoint(
        "127.0.0.1:0", [&] { return srv.metrics().render(); }, [&] { return srv.healthProblem(); });
    // The health follows the database within a few of its questions.
    auto healthTurns = [&](int status) {
        for (int i = 0; i < 100; ++i) {
            if (testdb::httpGet(endpoint.port(), "/healthz").status == status) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    };
    {
        testdb::LineClient client(srv.port());
        // Labelled by the method's own name, however the call spelt it.
        ASSERT_TRUE(client.call("GETFILIAL", nlohmann::json::array({"", "T"})).contains("result"));
        const auto stored = client.call("SetPrecDif", testdb::baseRule());
        ASSERT_TRUE(stored.contains("result")) << stored.dump();
        EXPECT_TRUE(client.call("NoSuchMethod", nlohmann::json::array()).contains("error"));
        const auto page = testdb::httpGet(endpoint.port(), "/metrics");
        ASSERT_EQ(page.status, 200);
        EXPECT_EQ(sample(page.body, "vnd_calls_total{method=\"GetFilial\",result=\"ok\"}"), 1);
        EXPECT_EQ(sample(page.body, "vnd_calls_total{method=\"SetPrecDif\",result=\"ok\"}"), 1);
        EXPECT_EQ(sample(page.body, "vnd_calls_total{method=\"unknown\",result=\"error\"}"), 1)
            << page.body;
        EXPECT_EQ(sample(page.body, "vnd_rows_stored_total"),
                  stored["result"]["stored"].get<double>());
        EXPECT_EQ(sample(page.body, "vnd_open_connections"), 1);
    }
    EXPECT_EQ(testdb::httpGet(endpoint.port(), "/healthz").status, 200);
    const std::string path = db.url().substr(std::string("sqlite:").size());
    std::filesystem::rename(path, path + ".away");
    EXPECT_TRUE(healthTurns(503));
    std::filesystem::rename(path + ".away", path);
    EXPECT_TRUE(healthTurns(200));
    srv.stop();
    EXPECT_EQ(testdb::httpGet(endpoint.port(), "/healthz").status, 503);
}

}  // namespace
