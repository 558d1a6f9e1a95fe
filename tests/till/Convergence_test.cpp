// A following till (the vnd-till program) beside real server processes while random
// changes of every kind are made: rules stored in the three product modes through the
// server, rules removed, holidays added and removed and base prices imported from the
// command line while the server runs. Each time the till has caught up, its price book is
// the server's, byte for byte, at several moments and for several consumer types. On
// PostgreSQL two servers share the database and the till follows the one nobody writes
// through. The seed is printed; VND_TEST_SEED=N runs the same changes again.

#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "LineClient.h"
#include "RandomChanges.h"
#include "RuleArguments.h"
#include "ServerProcess.h"
#include "TestDatabase.h"
#include "TillProcess.h"
#include "server/cli/DatabaseInit.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testdb::Backend;

using reliability::DemoTable;
using reliability::kDemoTables;
using reliability::kHolidayDays;
using reliability::productCode;
using reliability::windowDay;

constexpr int kProducts = reliability::kDemoProducts;
constexpr int kRounds = 4;
constexpr int kChangesPerRound = 10;
const char* const kConsumerTypes[] = {"", "01", "02"};

// Where two price books part: "" when they are the same bytes, else the first line that
// differs in each.
std::string firstDifference(const std::string& till, const std::string& server) {
    std::istringstream a(till), b(server);
    std::string x, y;
    for (int line = 1;; ++line) {
        const bool moreA = static_cast<bool>(std::getline(a, x));
        const bool moreB = static_cast<bool>(std::getline(b, y));
        if (!moreA && !moreB) {
            return till == server ? "" : "the same lines, other bytes";
        }
        if (x != y || moreA != moreB) {
            return "line " + std::to_string(line) + ":\n  till:     " + x + "\n  servidor: " + y;
        }
    }
}

class Convergence : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (auto why = testdb::unavailable(GetParam())) {
            GTEST_SKIP() << *why;
        }
        db_ = std::make_unique<testdb::TestDatabase>(GetParam());
        server::initDatabase(db_->url(), true, kProducts);
        dir_ = fs::temp_directory_path() /
               ("vnd-till-convergence-" + std::to_string(::getpid()) + "-" + testdb::name(GetParam()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        tillDb_ = (dir_ / "till.db").string();
        seed_ = reliability::seedOfRun(20260209u);
        changes_.emplace(seed_, db_->url(), dir_, [this](const std::vector<std::string>& args) {
            return serverCommand(args);
        });
        std::printf("seed %u (VND_TEST_SEED=%u repeats it)\n", seed_, seed_);
    }
    void TearDown() override {
        stopTill();
        if (!HasFailure()) {
            fs::remove_all(dir_);
        }
    }

    int pick(int n) { return changes_->pick(n); }

    tilltest::Finished run(const char* binary, const std::vector<std::string>& args) {
        return tilltest::runProgram(binary, args, (dir_ / ("run" + std::to_string(++runs_))).string());
    }
    // The output of a command that must succeed.
    std::string must(const char* binary, const std::vector<std::string>& args) {
        const tilltest::Finished f = run(binary, args);
        std::string line;
        for (const std::string& a : args) {
            line += a + ' ';
        }
        EXPECT_EQ(f.status, 0) << line << "\n" << f.err;
        return f.out;
    }
    std::string serverCommand(const std::vector<std::string>& args) {
        return must(VND_SERVER_BINARY, args);
    }

    void startFollowing(unsigned short port) {
        till_ = tilltest::startTill({"sync", "--server", "127.0.0.1:" + std::to_string(port), "--branch",
                                     "0001", "--table", "001", "--db", tillDb_, "--follow"},
                                    (dir_ / "till.err").string());
        ASSERT_GT(till_, 0);
    }
    // SIGTERM ends a following till between two changes, with success.
    void stopTill() {
        if (till_ <= 0) {
            return;
        }
        ::kill(till_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 200 && ::waitpid(till_, &status, WNOHANG) == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (::waitpid(till_, &status, WNOHANG) == 0) {
            ::kill(till_, SIGKILL);
            ::waitpid(till_, &status, 0);
            ADD_FAILURE() << "vnd-till sync --follow did not end on SIGTERM";
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        }
        till_ = -1;
    }

    long long highestChange() { return std::stoll(db_->query("SELECT MAX(NRALTERACAO) FROM ALTPRECO")[0][0]); }
    long long tillChange() {
        const std::string status = must(VND_TILL_BINARY, {"status", "--db", tillDb_});
        const auto at = status.find("alteracao: ");
        return at == std::string::npos ? -1 : std::stoll(status.substr(at + 11));
    }
    // Until the till's file holds the server's last change, for at most a minute.
    void waitForTheTill() {
        const long long last = highestChange();
        long long at = -1;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while ((at = tillChange()) != last && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ASSERT_EQ(at, last) << "the till did not catch up with the server";
    }

    // A moment on a holiday, one on an eve, one anywhere in the window; a random time.
    std::vector<std::string> randomMoments() {
        std::vector<std::string> out;
        const int holiday = kHolidayDays[pick(std::size(kHolidayDays))];
        for (int k : {holiday, holiday - 1, pick(60)}) {
            out.push_back(windowDay(k).iso() + " " + reliability::hhmm(pick(24 * 60)).insert(2, ":"));
        }
        return out;
    }
    void compareBooks(const std::vector<std::string>& moments, const std::string& when) {
        for (const std::string& at : moments) {
            for (const char* type : kConsumerTypes) {
                std::vector<std::string> tillAsk{"prices", "--db", tillDb_, "--at", at, "--csv"};
                std::vector<std::string> serverAsk{"prices", "--db",    db_->url(), "--branch", "0001",
                                                   "--table", "001",   "--at",     at,         "--csv"};
                if (*type != '\0') {
                    for (auto* ask : {&tillAsk, &serverAsk}) {
                        ask->insert(ask->end(), {"--type", type});
                    }
                }
                const std::string book = serverCommand(serverAsk);
                EXPECT_EQ(firstDifference(must(VND_TILL_BINARY, tillAsk), book), "")
                    << when << ", " << at << ", tipo '" << type << "', seed " << seed_;
                EXPECT_GT(book.size(), 1000u) << "a price book of every product";
            }
        }
    }

    // One change of a random kind to a random table, the till's own more often than others.
    std::string randomChange(testdb::LineClient& writer) {
        const DemoTable& t = kDemoTables[pick(3) < 2 ? 0 : 1 + pick(2)];
        switch (pick(7)) {
            case 0:
            case 1:
            case 2: {
                const json answer = writer.call("SetPrecDif", changes_->randomRule(t));
                // A list of products the branch does not all sell, say, is refused: no change.
                return std::string("SetPrecDif em ") + t.branch + "/" + t.table +
                       (answer.contains("result") ? "" : " recusado");
            }
            case 3:
                return changes_->removeRandomRules(writer, t).what;
            case 4:
            case 5:
                return changes_->changeHoliday().what;
            default: {
                const bool full = pick(8) == 0;
                return changes_->importBasePrices(t, full).what;
            }
        }
    }

    std::unique_ptr<testdb::TestDatabase> db_;
    fs::path dir_;
    std::string tillDb_;
    unsigned seed_ = 0;
    std::optional<reliability::RandomChanges> changes_;
    int runs_ = 0;
    pid_t till_ = -1;
};

TEST_P(Convergence, AFollowingTillHoldsWhatTheServerHoldsAfterRandomChanges) {
    const bool twoServers = GetParam() == Backend::Postgres;
    reliability::ServerProcess followed(VND_SERVER_BINARY, db_->url());
    std::unique_ptr<reliability::ServerProcess> other;
    if (twoServers) {
        other = std::make_unique<reliability::ServerProcess>(VND_SERVER_BINARY, db_->url());
    }
    testdb::LineClient writer(twoServers ? other->port() : followed.port());
    startFollowing(followed.port());

    std::string changes;
    for (int round = 1; round <= kRounds && !HasFailure(); ++round) {
        for (int i = 0; i < kChangesPerRound; ++i) {
            changes += randomChange(writer) + "\n";
        }
        // Changes of other branches and tables do not wake a waiting till: the round ends
        // with one of its own branch, on a day no moment asks, so that it catches up at once.
        serverCommand({"holidays", "--db", db_->url(), "add", "--branch", "0001", "--date",
                       "2026-12-0" + std::to_string(round), "--name", "Fim da rodada"});
        waitForTheTill();
        compareBooks(randomMoments(), "rodada " + std::to_string(round));
    }
    if (HasFailure()) {
        std::printf("changes made (seed %u):\n%s", seed_, changes.c_str());
        return;
    }

    // The servers stopped, the following till still prices from its file.
    followed.stop(SIGTERM);
    if (other) {
        other->stop(SIGTERM);
    }
    for (const std::string& at : randomMoments()) {
        const std::string product = productCode(1 + pick(kProducts));
        EXPECT_EQ(must(VND_TILL_BINARY, {"price", "--db", tillDb_, "--product", product, "--type", "01", "--at", at}),
                  serverCommand({"price", "--db", db_->url(), "--branch", "0001", "--table", "001", "--product",
                                 product, "--type", "01", "--at", at}))
            << at << ", seed " << seed_;
    }
}

// A till away longer than the log is kept: told to load everything again, it loads into
// a new file, swaps it in and holds what the server holds.
TEST_P(Convergence, ATillAwayLongerThanTheLogIsKeptLoadsEverythingAgain) {
    reliability::ServerProcess server(VND_SERVER_BINARY, db_->url());
    const std::vector<std::string> sync{"sync", "--server", "127.0.0.1:" + std::to_string(server.port()),
                                        "--branch", "0001", "--table", "001", "--db", tillDb_};
    must(VND_TILL_BINARY, sync);
    const long long away = tillChange();
    struct stat before {};
    ASSERT_EQ(::stat(tillDb_.c_str(), &before), 0);

    testdb::LineClient writer(server.port());
    json rule = testdb::listRule({productCode(3), productCode(4)});
    testdb::arg(rule, testdb::kAmount) = 2.25;
    ASSERT_TRUE(writer.call("SetPrecDif", rule).contains("result"));
    changes_->changeHoliday();
    changes_->importBasePrices(kDemoTables[0], pick(8) == 0);
    // Pruned to its newest row, as after days of changes with the till away.
    db_->exec("DELETE FROM ALTPRECO WHERE NRALTERACAO < (SELECT MAX(NRALTERACAO) FROM ALTPRECO)");
    ASSERT_LT(away, highestChange() - 1);

    must(VND_TILL_BINARY, sync);
    struct stat after {};
    ASSERT_EQ(::stat(tillDb_.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino) << "loaded into a new file, swapped in";
    EXPECT_EQ(tillChange(), highestChange());
    compareBooks({"2026-02-02 10:00", windowDay(kHolidayDays[0]).iso() + " 12:30"}, "depois da nova carga");
}

INSTANTIATE_TEST_SUITE_P(Backends, Convergence, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const testing::TestParamInfo<Backend>& p) {
                             return std::string(testdb::name(p.param));
                         });

}  // namespace
