// The server as an administrator runs it: from a configuration file as a service, its
// log, SIGHUP, TLS certificates renewed in place, and backups taken while it stores.

#include <atomic>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "HttpGet.h"
#include "LineClient.h"
#include "RuleArguments.h"
#include "TestDatabase.h"
#include "server/store/Schema.h"
#include "server/cli/Commands.h"
#include "server/ops/Log.h"
#include "server/store/Schema.h"
#include "server/store/StoreFactory.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"
#include "server/store/sqlite/SqliteBackup.h"

namespace {

namespace fs = std::filesystem;
using testdb::LineClient;

constexpr const char* kToken = "primeiro-token-de-teste-0123456789";
constexpr const char* kNewToken = "segundo-token-de-teste-9876543210";

nlohmann::json authLine(const std::string& token) {
    return {{"jsonrpc", "2.0"}, {"id", 0}, {"method", "rpc.auth"}, {"params", {token}}};
}

bool logsIn(LineClient& client, const std::string& token) {
    client.send(authLine(token).dump() + "\n");
    const auto answer = client.receive(std::chrono::seconds(10));
    return answer && answer->value("result", false);
}

void writeSecret(const fs::path& file, const std::string& text) {
    std::ofstream(file) << text << "\n";
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
}

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// vnd-server serve as a service manager runs it: standard output read for its first
// line, standard error (the log) kept in a file; with no file, standard error is a small
// pipe nobody reads, as a journal that stalls.
class ServeProcess {
public:
    /// With outputToLog, standard output goes to the log file as well, as a service
    /// manager joins both in its journal; the first line is then not read.
    ServeProcess(const std::vector<std::string>& args, const fs::path& log,
                 bool outputToLog = false) {
        int out[2];
        if (pipe(out) != 0) throw std::runtime_error("pipe");
        int unread[2] = {-1, -1};
        if (log.empty()) {
            if (pipe(unread) != 0) throw std::runtime_error("pipe");
            fcntl(unread[1], F_SETPIPE_SZ, 4096);
        }
        pid_ = fork();
        if (pid_ == 0) {
            const int err =
                log.empty() ? unread[1] : ::open(log.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
            dup2(outputToLog ? err : out[1], STDOUT_FILENO);
            dup2(err, STDERR_FILENO);
            close(out[0]);
            close(out[1]);
            std::vector<std::string> all = {VND_SERVER_BINARY};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (std::string& a : all) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(VND_SERVER_BINARY, argv.data());
            _exit(127);
        }
        close(out[1]);
        if (unread[1] >= 0) {
            close(unread[1]);
            unreadLog_ = unread[0];  // held open, never read: writes to it wait
        }
        char c = 0;
        while (firstLine_.size() < 4096 && read(out[0], &c, 1) == 1 && c != '\n') firstLine_ += c;
        close(out[0]);
    }
    ~ServeProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (unreadLog_ >= 0) close(unreadLog_);
    }
    const std::string& firstLine() const { return firstLine_; }
    /// The port after "TEXT" in the first line, 0 when missing.
    unsigned short portAfter(const std::string& text) const {
        const auto at = firstLine_.find(text);
        return at == std::string::npos
                   ? 0
                   : static_cast<unsigned short>(std::stoi(firstLine_.substr(at + text.size())));
    }
    void signal(int number) { kill(pid_, number); }
    /// The exit status after SIGTERM, -1 when it did not end within 20 s.
    int terminate() {
        kill(pid_, SIGTERM);
        for (int i = 0; i < 400; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return -1;
    }

private:
    pid_t pid_ = -1;
    int unreadLog_ = -1;
    std::string firstLine_;
};

std::string readFile(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Started from its configuration file, the server logs its start and stop, one line per
// call and per refused login, takes a new token on SIGHUP without dropping a connection,
// and no token ever shows in its log or output.
TEST(ServeAsAService, RunsFromItsConfigurationFileAndLogsEveryCallButNoSecret) {
    testdb::TestDatabase db(testdb::Backend::Sqlite);
    server::initDatabase(db.url(), true, 5);
    const fs::path dir = fs::path(db.url().substr(7)).parent_path();
    const fs::path stem = fs::path(db.url().substr(7)).filename();
    const fs::path token = dir / (stem.string() + ".token");
    const fs::path config = dir / (stem.string() + ".conf");
    const fs::path log = dir / (stem.string() + ".log");
    writeSecret(token, kToken);
    std::ofstream(config) << "# test\ndb = " << db.url() << "\nlisten = 127.0.0.1:0\n"
                          << "token-file = " << token.string() << "\nmetrics = 127.0.0.1:0\n"
                          << "max-connections = 10\nlog-level = debug\n";
    ServeProcess serve({"serve", "--config", config.string(), "--log-level", "info"}, log);
    const unsigned short port = serve.portAfter("em 127.0.0.1:");
    const unsigned short metrics = serve.portAfter("métricas em 127.0.0.1:");
    ASSERT_NE(port, 0) << serve.firstLine() << readFile(log);
    ASSERT_NE(metrics, 0) << serve.firstLine();

    {
        LineClient guesser(port);
        EXPECT_FALSE(logsIn(guesser, "um-token-quase-certo-0123456789"));
    }
    LineClient client(port);
    ASSERT_TRUE(logsIn(client, kToken));
    EXPECT_TRUE(client.call("GetFilial", nlohmann::json::array({"", "T"})).contains("result"));
    EXPECT_TRUE(client.call("SetPrecDif", testdb::baseRule()).contains("result"));

    writeSecret(token, kNewToken);
    serve.signal(SIGHUP);
    std::string text;
    for (int i = 0; i < 100 && occurrences(text, "event=reload") == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        text = readFile(log);
    }
    ASSERT_EQ(occurrences(text, "event=reload"), 1u) << text;
    // The connection logged in before stays; new ones need the new token.
    EXPECT_TRUE(client.call("GetTabePrec", nlohmann::json::array({"0001"})).contains("result"));
    {
        LineClient old(port);
        EXPECT_FALSE(logsIn(old, kToken));
        LineClient renewed(port);
        EXPECT_TRUE(logsIn(renewed, kNewToken));
    }
    const auto page = testdb::httpGet(metrics, "/metrics");
    EXPECT_NE(page.body.find("vnd_calls_total{method=\"SetPrecDif\",result=\"ok\"} 1"),
              std::string::npos)
        << page.body;
    EXPECT_NE(page.body.find("vnd_auth_failures_total 2"), std::string::npos) << page.body;
    EXPECT_EQ(testdb::httpGet(metrics, "/healthz").status, 200);

    EXPECT_EQ(serve.terminate(), 0);
    text = readFile(log);
    EXPECT_EQ(occurrences(text, " event=call "), 3u) << text;
    EXPECT_EQ(occurrences(text, " event=auth-refused "), 2u) << text;
    EXPECT_NE(text.find("event=start version="), std::string::npos) << text;
    EXPECT_NE(text.find(" event=stop "), std::string::npos) << text;
    EXPECT_NE(text.find("method=SetPrecDif peer=127.0.0.1 user=- ms="), std::string::npos) << text;
    EXPECT_NE(text.find("result=ok stored="), std::string::npos) << text;
    // The command line's level wins over the file's: no debug lines.
    EXPECT_EQ(text.find(" DEBUG "), std::string::npos) << text;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(std::regex_search(line, std::regex("^\\d{4}-\\d\\d-\\d\\dT[0-9:.]+Z (INFO |WARN |ERROR) event=")))
            << line;
    }
    for (const std::string& secret : {std::string(kToken), std::string(kNewToken),
                                      std::string("um-token-quase-certo")}) {
        EXPECT_EQ(text.find(secret), std::string::npos) << secret << " in the log";
        EXPECT_EQ(serve.firstLine().find(secret), std::string::npos);
    }
    fs::remove(token);
    fs::remove(config);
    fs::remove(log);
}

// Under a service manager standard output and standard error are one journal: every line
// there is an event, the start, the schema's upgrade, a lockout, a failure under the
// occurrence name the screen was given, and the stop among them.
TEST(ServeAsAService, UnderAServiceManagerEveryLineIsAnEvent) {
    testdb::TestDatabase db(testdb::Backend::Sqlite);
    const fs::path file = db.url().substr(7);
    fs::copy_file(VND_TEST_DATA_DIR "/schema-v1.db", file);
    const fs::path token = file.string() + ".token", log = file.string() + ".log";
    writeSecret(token, kToken);
    ServeProcess serve({"serve", "--no-config", "--db", db.url(), "--listen", "127.0.0.1:0",
                        "--token-file", token.string(), "--auth-failures", "1"},
                       log, true);
    std::smatch listen;
    std::string text;
    for (int i = 0; i < 200 && !std::regex_search(text, listen, std::regex("listen=127\\.0\\.0\\.1:(\\d+)")); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        text = readFile(log);
    }
    ASSERT_FALSE(listen.empty()) << text;
    const auto port = static_cast<unsigned short>(std::stoi(listen[1]));
    sqlite3* side = nullptr;
    sqlite3_open(file.c_str(), &side);
    sqlite3_exec(side, "ALTER TABLE PRECDIF RENAME TO PRECDIF_FORA", nullptr, nullptr, nullptr);
    sqlite3_close(side);
    std::string message;
    {
        LineClient client(port);
        ASSERT_TRUE(logsIn(client, kToken));
        message = client.call("SetPrecDif", testdb::baseRule())["error"].value("message", "");
    }
    std::smatch named;
    ASSERT_TRUE(std::regex_search(message, named, std::regex("Ocorrência ([0-9a-z]{6}-1) no ")))
        << message;
    {
        LineClient guesser(port);
        EXPECT_FALSE(logsIn(guesser, "um-token-quase-certo-0123456789"));
    }
    EXPECT_EQ(serve.terminate(), 0);

    text = readFile(log);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(std::regex_search(line, std::regex("^\\d{4}-\\d\\d-\\d\\dT[0-9:.]+Z (INFO |WARN |ERROR) event=")))
            << line;
    }
    for (const std::string& event :
         {std::string("event=start "), "event=schema-upgrade from=1 to=" + std::to_string(server::kSchemaVersion) + " ",
          std::string("event=auth-lockout peer=127.0.0.1 "),
          "event=failure occurrence=" + named[1].str() + " method=SetPrecDif ",
          std::string("event=stopping "), std::string("event=stop ")}) {
        EXPECT_NE(text.find(event), std::string::npos) << event << " not in\n" << text;
    }
    fs::remove(token);
    fs::remove(log);
}

// serve --check finds what would stop a start, without starting: it binds no port (the
// service may be serving on them) and changes nothing, not even an old schema.
TEST(ServeCheck, FindsWhatWouldStopTheStartWithoutStarting) {
    testdb::TestDatabase db(testdb::Backend::Sqlite), old(testdb::Backend::Sqlite),
        never(testdb::Backend::Sqlite);
    server::initDatabase(db.url(), true, 5);
    fs::copy_file(VND_TEST_DATA_DIR "/schema-v1.db", old.url().substr(7));
    asio::io_context io;
    asio::ip::tcp::acceptor serving(io, {asio::ip::make_address("127.0.0.1"), 0});
    const std::string taken = "127.0.0.1:" + std::to_string(serving.local_endpoint().port());
    const struct {
        const char* name;
        std::vector<std::string> args;
        int status;
        const char* said;
    } cases[] = {
        {"ready", {"--db", db.url(), "--listen", taken, "--metrics", taken}, 0,
         "configuração conferida"},
        {"older_schema", {"--db", old.url(), "--listen", taken}, 0, "esquema versão 1"},
        {"never_initialised", {"--db", never.url()}, 1, "vnd-server init --db"},
        {"open_address_without_token", {"--db", db.url(), "--listen", "0.0.0.0:7400"}, 1,
         "exige um token"},
        {"unreadable_certificate",
         {"--db", db.url(), "--tls-cert", VND_TEST_TLS_DIR "/missing.pem", "--tls-key",
          VND_TEST_TLS_DIR "/server.key"},
         1, "certificado TLS"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"serve", "--no-config", "--check"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::ostringstream out, err;
        EXPECT_EQ(server::runCommand(args, out, err), c.status) << c.name << ": " << err.str();
        EXPECT_NE((out.str() + err.str()).find(c.said), std::string::npos)
            << c.name << ": " << out.str() << err.str();
    }
    EXPECT_EQ(server::openStore(old.url())->schemaVersion(), 1);
}

// A log nobody reads (a full pipe, a journal that stalls) costs log lines, never calls:
// every call is answered, each within moments.
TEST(ServeAsAService, AStalledLogDoesNotStallCalls) {
    testdb::TestDatabase db(testdb::Backend::Sqlite);
    server::initDatabase(db.url(), true, 5);
    ServeProcess serve({"serve", "--db", db.url(), "--listen", "127.0.0.1:0", "--log-level",
                        "debug"},
                       fs::path());
    const unsigned short port = serve.portAfter("em 127.0.0.1:");
    ASSERT_NE(port, 0) << serve.firstLine();
    LineClient client(port);
    for (int i = 0; i < 200; ++i) {
        client.send(nlohmann::json{{"jsonrpc", "2.0"},
                                   {"id", i},
                                   {"method", "Vnd42400.rdmTabePreco.GetTabePrec"},
                                   {"params", {"0001"}}}
                        .dump() +
                    "\n");
        const auto answer = client.receive(std::chrono::seconds(5));
        ASSERT_TRUE(answer && answer->contains("result")) << "call " << i << " not answered";
    }
    EXPECT_EQ(serve.terminate(), 0);
}

// A database whose URL carries a password (trusted by the test cluster): whatever fails
// in it, the log never repeats the password.
TEST(ServeAsAService, NoDatabasePasswordInTheLog) {
    if (auto why = testdb::postgresUnavailable()) {
        GTEST_SKIP() << *why;
    }
    testdb::TestDatabase db(testdb::Backend::Postgres);
    server::initDatabase(db.url(), true, 5);
    std::string url = db.url();
    url.insert(url.find('@', url.find("://")), ":segredo");
    std::ostringstream text;
    server::Log log(text, server::LogLevel::Debug);
    server::ServerOptions options;
    options.log = &log;
    server::Server srv(url, "127.0.0.1:0", options);
    srv.start();
    LineClient client(srv.port());
    EXPECT_TRUE(client.call("GetFilial", nlohmann::json::array({"", "T"})).contains("result"));
    db.exec("ALTER TABLE PRECDIF RENAME TO PRECDIF_FORA");
    EXPECT_TRUE(client.call("SetPrecDif", testdb::baseRule()).contains("error"));
    srv.stop();
    EXPECT_NE(text.str().find(" event=failure occurrence="), std::string::npos) << text.str();
    EXPECT_EQ(occurrences(text.str(), " event=call "), 2u) << text.str();
    EXPECT_EQ(text.str().find("segredo"), std::string::npos) << text.str();
}

// A renewed certificate is taken by the connections made after the reload; those made
// before go on with theirs.
TEST(TlsReload, NewConnectionsGetTheRenewedCertificateAndOldOnesStay) {
    testdb::TestDatabase db(testdb::Backend::Sqlite);
    server::initDatabase(db.url(), true, 5);
    const fs::path dir = fs::path(db.url().substr(7)).parent_path();
    const std::string stem = fs::path(db.url().substr(7)).filename().string();
    const fs::path cert = dir / (stem + ".pem"), key = dir / (stem + ".key");
    fs::copy_file(VND_TEST_TLS_DIR "/server.pem", cert);
    fs::copy_file(VND_TEST_TLS_DIR "/server.key", key);
    server::ServerOptions options;
    options.tlsCertificateFile = cert.string();
    options.tlsKeyFile = key.string();
    server::Server srv(db.url(), "127.0.0.1:0", options);
    srv.start();
    auto presents = [&](const char* trusted) {
        try {
            LineClient probe(srv.port(), trusted);
            return probe.call("GetFilial", nlohmann::json::array({"", "T"})).contains("result");
        } catch (const std::system_error&) {
            return false;  // the handshake refused the certificate
        }
    };
    EXPECT_TRUE(presents(VND_TEST_TLS_DIR "/ca.pem"));
    EXPECT_FALSE(presents(VND_TEST_TLS_DIR "/renewed.pem"));
    LineClient before(srv.port(), VND_TEST_TLS_DIR "/ca.pem");
    ASSERT_TRUE(before.call("GetFilial", nlohmann::json::array({"", "T"})).contains("result"));

    // A broken renewal changes nothing.
    std::ofstream(cert, std::ios::trunc) << "not a certificate\n";
    EXPECT_THROW(srv.reload(std::nullopt), std::runtime_error);
    EXPECT_TRUE(presents(VND_TEST_TLS_DIR "/ca.pem"));

    fs::copy_file(VND_TEST_TLS_DIR "/renewed.pem", cert, fs::copy_options::overwrite_existing);
    fs::copy_file(VND_TEST_TLS_DIR "/renewed.key", key, fs::copy_options::overwrite_existing);
    srv.reload(std::nullopt);
    EXPECT_TRUE(presents(VND_TEST_TLS_DIR "/renewed.pem"));
    EXPECT_FALSE(presents(VND_TEST_TLS_DIR "/ca.pem"));
    EXPECT_TRUE(before.call("GetTabePrec", nlohmann::json::array({"0001"})).contains("result"));
    srv.stop();
    fs::remove(cert);
    fs::remove(key);
}

long countRules(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    long n = -1;
    if (sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM PRECDIF", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW) {
        n = sqlite3_column_int64(st, 0);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return n;
}

// Copies taken while stores of 200 rows each commit hold whole stores only: the rows of
// a store are all in a copy or none are.
TEST(Backup, ACopyTakenDuringStoresHoldsWholeStoresOnly) {
    testdb::TestDatabase db(testdb::Backend::Sqlite);
    server::initDatabase(db.url(), true, 200);
    const std::string path = db.url().substr(7);
    std::atomic<bool> done{false};
    std::atomic<int> stores{0};
    std::thread writer([&] {
        auto store = server::openStore(db.url());
        for (int day = 1; day <= 28 && !done; ++day) {
            std::vector<server::RuleRow> rows;
            for (int product = 1; product <= 200; ++product) {
                server::RuleRow r;
                r.branch = "0001";
                r.table = "001";
                r.periodStart = wire::Date{2026, 1, 1};
                const std::string code = std::to_string(product);
                r.product = std::string(10 - code.size(), '0').append(code);
                r.day = 'T';
                r.consumerType.assign(1, 'T');
                r.timeStart = "0000";
                r.timeEnd = "2359";
                r.validFrom = wire::Date{2026, 2, day};
                r.validTo = wire::Date{2026, 2, day};
                r.amount = 1;
                rows.push_back(r);
            }
            store->upsertRules(rows);
            ++stores;
        }
    });
    const std::string copy = path + ".copia";
    std::vector<long> seen;
    for (int i = 0; i < 6; ++i) {
        server::backupSqlite(path, copy);
        seen.push_back(countRules(copy));
    }
    done = true;
    writer.join();
    for (long n : seen) {
        EXPECT_EQ(n % 200, 0) << n << " rows: a store copied in part";
    }
    EXPECT_EQ(fs::status(copy).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_FALSE(fs::exists(copy + ".parcial"));
    fs::remove(copy);
    EXPECT_THROW(server::backupSqlite(path + ".missing", copy), std::runtime_error);
    EXPECT_FALSE(fs::exists(copy));
}

// A copy that cannot be made is reported as a failure, and the copy kept from before is
// left as it was: no half-written file takes its place or lies beside it.
TEST(Backup, AFailedCopyIsReportedAndTheEarlierCopyKept) {
    testdb::TestDatabase db(testdb::Backend::Sqlite);
    server::initDatabase(db.url(), true, 5);
    const std::string path = db.url().substr(7);
    const std::string earlier = path + ".anterior";
    server::backupSqlite(path, earlier);
    const long kept = countRules(earlier);
    ASSERT_GE(kept, 0);
    const std::string notADatabase = path + ".txt";
    std::ofstream(notADatabase) << "não é um banco de dados\n";
    struct Case {
        const char* name;
        std::string source, target;
    };
    const Case cases[] = {
        {"target folder missing", path, path + ".nenhuma/copia.db"},
        {"source no database", notADatabase, earlier},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(server::backupSqlite(c.source, c.target), std::runtime_error);
        EXPECT_FALSE(fs::exists(c.target + ".parcial"));
    }
    EXPECT_FALSE(fs::exists(path + ".nenhuma"));
    EXPECT_EQ(countRules(earlier), kept);
    fs::remove(earlier);
    fs::remove(notADatabase);
}

}  // namespace

namespace {

// Runs sql as the cluster's superuser, in the test database or in the one named.
void superuser(const std::string& sql, const std::string& database = {}) {
    std::string url = std::getenv("VND_TEST_PG_URL");
    if (!database.empty()) {
        url = url.substr(0, url.rfind('/') + 1) + database;
    }
    PGconn* conn = PQconnectdb(url.c_str());
    PGresult* r = PQexec(conn, sql.c_str());
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    const std::string error = PQerrorMessage(conn);
    PQclear(r);
    PQfinish(conn);
    if (!ok) throw std::runtime_error(sql + ": " + error);
}

// A role that may not make temporary tables fails every store; the server says so at
// start, and stops saying it once the privilege is granted.
TEST(StorePrivileges, ARoleWithoutTemporaryIsNamed) {
    if (auto why = testdb::postgresUnavailable()) {
        GTEST_SKIP() << *why;
    }
    const std::string suffix = std::to_string(::getpid());
    const std::string database = "vnd_priv_" + suffix, role = "vnd_app_" + suffix;
    superuser("CREATE DATABASE " + database);
    superuser("CREATE ROLE " + role + " LOGIN");
    superuser("REVOKE TEMPORARY ON DATABASE " + database + " FROM PUBLIC");
    std::string url = std::getenv("VND_TEST_PG_URL");
    url = "postgresql://" + role + url.substr(url.find('@'), url.rfind('/') - url.find('@')) +
          "/" + database;
    auto missing = [&] { return server::openStore(url)->missingPrivileges(); };
    ASSERT_EQ(missing().size(), 1u);
    EXPECT_NE(missing()[0].find("GRANT TEMPORARY ON DATABASE " + database + " TO " + role),
              std::string::npos)
        << missing()[0];
    // serve --check names it too, on a database the owner made.
    const std::string owner = std::getenv("VND_TEST_PG_URL");
    server::initDatabase(owner.substr(0, owner.rfind('/') + 1) + database, true, 5);
    for (const server::schema::TableNeed& need : server::schema::kServerNeeds) {
        superuser("GRANT " + std::string(need.privileges) + " ON " + std::string(need.table) +
                      " TO " + role,
                  database);
    }
    auto check = [&](std::string& said) {
        std::ostringstream out, err;
        const int status =
            server::runCommand({"serve", "--no-config", "--check", "--db", url}, out, err);
        said = out.str() + err.str();
        return status;
    };
    std::string said;
    EXPECT_EQ(check(said), 1);
    EXPECT_NE(said.find("GRANT TEMPORARY ON DATABASE " + database), std::string::npos) << said;
    superuser("GRANT TEMPORARY ON DATABASE " + database + " TO " + role);
    EXPECT_EQ(missing(), std::vector<std::string>{});
    EXPECT_EQ(check(said), 0) << said;
    superuser("DROP DATABASE " + database);
    superuser("DROP ROLE " + role);
}

}  // namespace
