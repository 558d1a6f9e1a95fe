// A following till beside the real server: stores, a replacement, and a holiday and a
// consumer type added from the command line while the server runs all reach its file, and its price book is then
// the server's, byte for byte.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "RuleArguments.h"
#include "TillProcess.h"
#include "server/cli/Commands.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"
#include "till/TillCommands.h"
#include "till/TillConnection.h"
#include "till/TillReplica.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::string output(int (*run)(const std::vector<std::string>&, std::ostream&, std::ostream&),
                   const std::vector<std::string>& args) {
    std::ostringstream out, err;
    EXPECT_EQ(run(args, out, err), 0) << err.str();
    return out.str();
}

int tillCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const std::atomic<bool> stop{false};
    return till::runTill(args, out, err, stop);
}

TEST(FollowingTill, HoldsWhatTheServerHoldsAfterEveryKindOfChange) {
    const fs::path dir = fs::temp_directory_path() / ("vnd-till-following-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string url = "sqlite:" + (dir / "server.db").string();
    const std::string tillDb = (dir / "till.db").string();
    server::initDatabase(url, true, 200);
    server::Server server(url, "127.0.0.1:0");
    server.start();

    till::TillReplica replica(tillDb, {"127.0.0.1", server.port(), wire::NetSettings{}, "0001", "001"});
    replica.syncOnce();
    std::atomic<bool> stop{false};
    std::ostringstream log;
    std::thread follower([&] { replica.follow(stop, log); });
    // Stopped and joined however the test ends.
    struct StopAndJoin {
        std::atomic<bool>& stop;
        std::thread& thread;
        ~StopAndJoin() {
            stop = true;
            if (thread.joinable()) {
                thread.join();
            }
        }
    } guard{stop, follower};

    till::TillConnection client("127.0.0.1", server.port(), wire::NetSettings{});
    json percent = testdb::listRule({"0000000001", "0000000002"});
    testdb::arg(percent, testdb::kPercentage) = 1;
    testdb::arg(percent, testdb::kAmount) = 12.5;
    testdb::arg(percent, testdb::kHoliday) = true;  // the holiday added below decides 09/02
    for (const json& rule : {testdb::baseRule(), percent, testdb::rangeRule("0101001", "0102020")}) {
        client.call("SetPrecDif", rule);
    }
    testdb::arg(percent, testdb::kAmount) = 3;  // replaces the two rows
    client.call("SetPrecDif", percent);
    output(server::runCommand, {"holidays", "--db", url, "add", "--branch", "0001", "--date",
                                "2026-02-09", "--name", "Aniversário da Loja"});
    // A consumer type of the network's reaches the till, which then prices for it.
    std::ofstream(dir / "tipos.csv") << "05;Atacado\n";
    output(server::runCommand, {"import", "--db", url, "tipos", (dir / "tipos.csv").string()});

    // The till has caught up once its file stands at the server's last change.
    const long long last =
        (*client.call("GetAlteracoes", json::array({"0001", "001", 0, 10000, 0})))["ate"];
    till::TillReplica reader(tillDb);
    for (int i = 0; i < 200 && reader.changeNumber() < last; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(reader.changeNumber(), last);
    // The number the administrator compares with the till's status.
    EXPECT_EQ(output(server::runCommand, {"changes", "--db", url}),
              "alteracao: " + std::to_string(last) + "\n");
    stop = true;
    follower.join();
    server.stop();  // the till answers from its file alone

    for (const char* at : {"2026-02-09 10:00", "2026-02-16 10:00", "2026-02-08 12:00", "2026-03-10 09:00"}) {
        for (const char* type : {"", "02", "05"}) {
            std::vector<std::string> ask{"prices", "--at", at, "--csv"};
            if (*type != '\0') {
                ask.insert(ask.end(), {"--type", type});
            }
            std::vector<std::string> serverAsk = ask;
            serverAsk.insert(serverAsk.begin() + 1, {"--db", url, "--branch", "0001", "--table", "001"});
            std::vector<std::string> tillAsk = ask;
            tillAsk.insert(tillAsk.begin() + 1, {"--db", tillDb});
            EXPECT_EQ(output(tillCommand, tillAsk), output(server::runCommand, serverAsk))
                << at << " tipo '" << type << "'";
        }
    }
    // A type neither holds is refused by both in the same words.
    std::ostringstream out, serverErr, tillErr;
    EXPECT_EQ(server::runCommand({"price", "--db", url, "--branch", "0001", "--table", "001",
                                  "--product", "0000000001", "--type", "99", "--at",
                                  "2026-03-10 09:00"}, out, serverErr), 1);
    EXPECT_EQ(tillCommand({"price", "--db", tillDb, "--product", "0000000001", "--type", "99",
                           "--at", "2026-03-10 09:00"}, out, tillErr), 1);
    EXPECT_EQ(serverErr.str(), "vnd-server: Tipo de consumidor 99 não cadastrado.\n");
    EXPECT_EQ(tillErr.str(), "vnd-till: Tipo de consumidor 99 não cadastrado.\n");
    fs::remove_all(dir);
}

// Killed at any moment of a large change, the till's file is still a state that its
// number describes: a till started again resumes from it and ends where the server is.
TEST(FollowingTill, KilledPartWayThroughALargeChangeItResumes) {
    const fs::path dir = fs::temp_directory_path() / ("vnd-till-killed-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string url = "sqlite:" + (dir / "server.db").string();
    const std::string tillDb = (dir / "till.db").string();
    server::initDatabase(url, true, 1000);
    server::Server server(url, "127.0.0.1:0");
    server.start();
    const std::string where = "127.0.0.1:" + std::to_string(server.port());
    output(tillCommand, {"sync", "--server", where, "--branch", "0001", "--table", "001", "--db", tillDb});
    const long long before = till::TillReplica(tillDb).changeNumber();

    const pid_t pid = tilltest::startTill(
        {"sync", "--server", where, "--branch", "0001", "--table", "001", "--db", tillDb, "--follow"});
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    till::TillConnection client("127.0.0.1", server.port(), wire::NetSettings{});
    // A row of the log for each of the branch's thousand products, each loaded on its own.
    client.call("SetPrecDif", testdb::rangeRule("0101001", "1010999"));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);

    const long long killedAt = till::TillReplica(tillDb).changeNumber();
    EXPECT_GE(killedAt, before);
    output(tillCommand, {"sync", "--server", where, "--branch", "0001", "--table", "001", "--db", tillDb});
    EXPECT_GT(till::TillReplica(tillDb).changeNumber(), before);
    server.stop();
    for (const char* at : {"2026-02-09 10:00", "2026-03-09 10:00"}) {
        EXPECT_EQ(output(tillCommand, {"prices", "--db", tillDb, "--at", at, "--csv"}),
                  output(server::runCommand, {"prices", "--db", url, "--branch", "0001", "--table",
                                              "001", "--at", at, "--csv"}))
            << at << ", morto na alteração " << killedAt;
    }
    fs::remove_all(dir);
}

}  // namespace
