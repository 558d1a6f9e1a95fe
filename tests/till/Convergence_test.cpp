// A following till (the vnd-till program) beside real server processes while random
// changes of every kind are made: rules stored in the three product modes through the
// server, rules removed, holidays added and removed and base prices imported from the
// command line while the server runs. Each time the till has caught up, its price book is
// the server's, byte for byte, at several moments and for several consumer types. On
// PostgreSQL two servers share the database and the till follows the one nobody writes
// through. The seed is printed; VND_TEST_SEED=N runs the same changes again.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "LineClient.h"
#include "RuleArguments.h"
#include "ServerProcess.h"
#include "TestDatabase.h"
#include "TillProcess.h"
#include "server/cli/DatabaseInit.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testdb::Backend;

constexpr int kProducts = 200;  // branch 0001 sells every one, 0002 the first half
constexpr int kRounds = 4;
constexpr int kChangesPerRound = 10;
const char* const kConsumerTypes[] = {"", "01", "02"};

unsigned seedOfRun() {
    const char* given = std::getenv("VND_TEST_SEED");
    return given != nullptr && *given != '\0' ? static_cast<unsigned>(std::stoul(given)) : 20260209u;
}

std::string code(int product) {
    const std::string digits = std::to_string(product);
    return std::string(10 - std::min<std::size_t>(digits.size(), 10), '0').append(digits);
}

// The demo data's tree code of product i: group, subgroup, item.
std::string treeCode(int i) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d%02d%03d", 1 + (i - 1) / 100, 1 + (i - 1) % 100 / 10, i);
    return text;
}

// Day k of the window the rules, holidays and moments fall in (from 1 February 2026).
wire::Date day(int k) {
    return wire::Date::fromDaysSinceEpoch(wire::Date{2026, 2, 1}.daysSinceEpoch() + k);
}

std::string hhmm(int minutes) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d%02d", minutes / 60, minutes % 60);
    return text;
}

// A branch and price table of the demo data, and how many products the branch sells.
struct Table {
    const char* branch;
    const char* table;
    int products;
};
constexpr Table kTables[] = {{"0001", "001", kProducts}, {"0001", "002", kProducts}, {"0002", "001", kProducts / 2}};
// The holiday dates (days of the window) changes and moments meet.
constexpr int kHolidayDays[] = {1, 8, 9, 15, 22, 29, 36};

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
        seed_ = seedOfRun();
        rng_.seed(seed_);
        std::printf("seed %u (VND_TEST_SEED=%u repeats it)\n", seed_, seed_);
    }
    void TearDown() override {
        stopTill();
        if (!HasFailure()) {
            fs::remove_all(dir_);
        }
    }

    int pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }

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
            out.push_back(day(k).iso() + " " + hhmm(pick(24 * 60)).insert(2, ":"));
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

    json randomRule(const Table& t) {
        wire::RuleArguments r = testdb::baseArguments();
        r.branch = t.branch;
        r.table = t.table;
        r.days = {};
        // Half the rules go by holidays and eves, which the moments meet.
        for (int n = 1 + pick(2); n > 0; --n) {
            r.tick(pick(2) == 0 ? (pick(2) == 0 ? wire::DayBox::Holiday : wire::DayBox::HolidayEve)
                                : static_cast<wire::DayBox>(pick(wire::kDayBoxes)));
        }
        r.adjustment = pick(2) == 0 ? wire::Adjustment::Discount : wire::Adjustment::Surcharge;
        r.amountKind = pick(2) == 0 ? wire::AmountKind::Money : wire::AmountKind::Percentage;
        r.amount = r.amountKind == wire::AmountKind::Money ? 0.01 * (1 + pick(3000))
                                                           : 1 + pick(60) + pick(100) / 100.0;
        // Half of them valid the whole window, all day.
        const int from = pick(2) == 0 ? 0 : pick(45);
        r.validFrom = day(from);
        r.validTo = day(from == 0 ? 59 : from + pick(20));
        const int start = pick(2) == 0 ? 1 : pick(24 * 60);
        r.timeStart = hhmm(start);
        r.timeEnd = hhmm(start == 1 ? 24 * 60 - 1 : start + pick(24 * 60 - start));
        r.consumerType = std::vector<std::string>{"T", "01", "02"}[static_cast<std::size_t>(pick(3))];
        r.display = pick(2) == 0 ? wire::Display::Shown : wire::Display::Hidden;
        switch (pick(3)) {
            case 0: {
                r.mode = wire::ProductMode::List;
                std::vector<json> codes;
                for (int n = 1 + pick(6); n > 0; --n) {
                    codes.emplace_back(code(1 + pick(t.products)));
                }
                json params = wire::toParams(r);
                testdb::arg(params, testdb::kProducts) = testdb::productPacket(codes);
                return params;
            }
            case 1: {
                r.mode = wire::ProductMode::Range;
                const int first = 1 + pick(t.products);
                r.rangeStart = treeCode(first);
                r.rangeEnd = treeCode(std::min(t.products, first + pick(60)));
                return wire::toParams(r);
            }
            default:
                return wire::toParams(r);  // every product
        }
    }

    // A few stored rules of the table, removed with the keys the screen sends.
    std::string removeRandomRules(testdb::LineClient& writer, const Table& t) {
        auto page = [&](long long offset, long long limit) {
            return writer.call("GetPrecDif", {t.branch, t.table, nullptr, "", "", "", "", nullptr, offset, limit})
                .at("result");
        };
        const long long total = page(0, 1)["total"];
        if (total == 0) {
            return "nada a excluir";
        }
        const long long n = std::min<long long>(total, 1 + pick(4));
        const json rows = page(pick(static_cast<int>(total - n + 1)), n)["rows"]["$packet"];
        json fields = json::array();
        std::vector<std::size_t> keep;
        for (const char* name : {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO", "IDDIA",
                                 "CDTIPOCONS", "HRINI", "HRFIN", "DTINIVALID", "DTFINVALID"}) {
            for (std::size_t i = 0; i < rows["fields"].size(); ++i) {
                if (rows["fields"][i]["name"] == name) {
                    fields.push_back(rows["fields"][i]);
                    keep.push_back(i);
                }
            }
        }
        json keys = json::array();
        for (const json& row : rows["rows"]) {
            json key = json::array();
            for (std::size_t i : keep) {
                key.push_back(row[i]);
            }
            keys.push_back(key);
        }
        const json answer = writer.call(
            "DelPrecDif", {t.branch, t.table, {{"$packet", {{"fields", fields}, {"rows", keys}}}}});
        EXPECT_TRUE(answer.contains("result")) << answer.dump();
        return "DelPrecDif de " + std::to_string(n);
    }

    std::string importBasePrices(const Table& t) {
        const std::string file = (dir_ / ("precos" + std::to_string(++runs_) + ".csv")).string();
        std::ofstream csv(file);
        csv << "CDFILIAL;CDTABEPREC;DTINIVGPREC;CDPRODUTO;VRPRECO\n";
        // Now and then the whole set of the table: the products left out lose their prices.
        const bool full = pick(8) == 0;
        for (int n = full ? t.products : 1 + pick(6), i = 1; i <= n; ++i) {
            const int product = full ? i : 1 + pick(t.products);
            if (full && pick(10) == 0) {
                continue;
            }
            csv << t.branch << ';' << t.table << ";01/01/2026;" << code(product) << ';' << 1 + pick(80) << ','
                << pick(10) << pick(10) << '\n';
        }
        csv.close();
        std::vector<std::string> args{"import", "--db", db_->url(), "precos", file};
        if (full) {
            args.push_back("--full");
        }
        serverCommand(args);
        return std::string("import precos") + (full ? " --full" : "");
    }

    std::string changeHoliday() {
        const char* branch = std::vector<const char*>{"0001", "T", "0002"}[static_cast<std::size_t>(pick(3))];
        const std::string date = day(kHolidayDays[pick(std::size(kHolidayDays))]).iso();
        const bool remove = holidays_.contains({branch, date});
        if (remove) {
            serverCommand({"holidays", "--db", db_->url(), "remove", "--branch", branch, "--date", date});
            holidays_.erase({branch, date});
        } else {
            serverCommand({"holidays", "--db", db_->url(), "add", "--branch", branch, "--date", date,
                           "--name", "Feriado " + std::to_string(pick(100))});
            holidays_.insert({branch, date});
        }
        return std::string(remove ? "holidays remove " : "holidays add ") + branch + " " + date;
    }

    // One change of a random kind to a random table, the till's own more often than others.
    std::string randomChange(testdb::LineClient& writer) {
        const Table& t = kTables[pick(3) < 2 ? 0 : 1 + pick(2)];
        const std::string where = std::string(" em ") + t.branch + "/" + t.table;
        switch (pick(7)) {
            case 0:
            case 1:
            case 2: {
                const json answer = writer.call("SetPrecDif", randomRule(t));
                // A list of products the branch does not all sell, say, is refused: no change.
                return "SetPrecDif" + where + (answer.contains("result") ? "" : " recusado");
            }
            case 3:
                return removeRandomRules(writer, t) + where;
            case 4:
            case 5:
                return changeHoliday();
            default:
                return importBasePrices(t) + where;
        }
    }

    std::unique_ptr<testdb::TestDatabase> db_;
    fs::path dir_;
    std::string tillDb_;
    unsigned seed_ = 0;
    std::mt19937 rng_;
    int runs_ = 0;
    pid_t till_ = -1;
    std::set<std::pair<std::string, std::string>> holidays_;  // added by the test, still there
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
        const std::string product = code(1 + pick(kProducts));
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
    json rule = testdb::listRule({code(3), code(4)});
    testdb::arg(rule, testdb::kAmount) = 2.25;
    ASSERT_TRUE(writer.call("SetPrecDif", rule).contains("result"));
    changeHoliday();
    importBasePrices(kTables[0]);
    // Pruned to its newest row, as after days of changes with the till away.
    db_->exec("DELETE FROM ALTPRECO WHERE NRALTERACAO < (SELECT MAX(NRALTERACAO) FROM ALTPRECO)");
    ASSERT_LT(away, highestChange() - 1);

    must(VND_TILL_BINARY, sync);
    struct stat after {};
    ASSERT_EQ(::stat(tillDb_.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino) << "loaded into a new file, swapped in";
    EXPECT_EQ(tillChange(), highestChange());
    compareBooks({"2026-02-02 10:00", day(kHolidayDays[0]).iso() + " 12:30"}, "depois da nova carga");
}

INSTANTIATE_TEST_SUITE_P(Backends, Convergence, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const testing::TestParamInfo<Backend>& p) {
                             return std::string(testdb::name(p.param));
                         });

}  // namespace
