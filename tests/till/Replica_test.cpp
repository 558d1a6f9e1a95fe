// The till replica against a stand-in for the server's side of the sync that answers from
// a real server database: what it loads and applies, what it keeps when a change breaks
// off, and that its prices and price book are the server's own, byte for byte.

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sqlite3.h>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "PriceSource.h"
#include "TillProcess.h"
#include "server/cli/Commands.h"
#include "server/cli/DatabaseInit.h"
#include "till/LinkDown.h"
#include "till/TillCommands.h"
#include "till/TillReplica.h"

namespace {

namespace fs = std::filesystem;
using tilltest::changes;

// Rules of branch 0001, table 001 that meet every path of the pricing: holidays and eves,
// a consumer type, a window, a weekday, a discount beyond the price, another period.
constexpr const char* kRules =
    "INSERT INTO PRECDIF VALUES"
    " ('0001','001','2026-01-01','0000000001','T','T','0001','2359','2026-01-01','2026-12-31',0,1,10,0,'2026-01-05 10:00:00'),"
    " ('0001','001','2026-01-01','0000000001','F','T','0001','2359','2026-01-01','2026-12-31',0,0,2,0,'2026-01-05 10:00:00'),"
    " ('0001','001','2026-01-01','0000000001','2','02','0001','2359','2026-01-01','2026-12-31',0,1,10,1,'2026-01-05 10:00:00'),"
    " ('0001','001','2026-01-01','0000000002','V','T','0001','2359','2026-01-01','2026-12-31',1,1,5,0,'2026-01-05 10:00:00'),"
    " ('0001','001','2026-01-01','0000000003','T','T','0001','2359','2026-01-01','2026-12-31',0,0,500,0,'2026-01-05 10:00:00'),"
    " ('0001','001','2026-01-01','0000000004','3','T','0800','1200','2026-03-01','2026-03-31',0,0,1.5,0,'2026-01-05 10:00:00'),"
    " ('0001','001','2026-01-01','0000000150','T','01','0001','2359','2026-01-01','2026-12-31',0,0,1,0,'2026-01-05 10:00:00'),"
    " ('0001','001','2025-01-01','0000000001','T','T','0001','2359','2025-01-01','2025-12-31',1,0,0.05,0,'2026-01-05 10:00:00');";

const char* const kMoments[] = {"2026-03-10 09:00", "2026-02-16 10:00", "2026-02-15 09:00",
                                "2025-06-19 10:00", "2028-01-01 10:00"};
const char* const kTypes[] = {"", "01", "02"};

class Replica : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vnd-till-test-" + std::to_string(::getpid()) + "-" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        serverDb_ = (dir_ / "server.db").string();
        tillDb_ = (dir_ / "till.db").string();
        server::initDatabase("sqlite:" + serverDb_, true, 200);
        sql(kRules);
        source_ = std::make_unique<tilltest::PriceSource>(serverDb_, 70);
    }
    void TearDown() override {
        source_.reset();
        fs::remove_all(dir_);
    }

    void sql(const std::string& text) {
        sqlite3* db = nullptr;
        sqlite3_open(serverDb_.c_str(), &db);
        char* error = nullptr;
        const int code = sqlite3_exec(db, text.c_str(), nullptr, nullptr, &error);
        sqlite3_close(db);
        ASSERT_EQ(code, SQLITE_OK) << (error ? error : "");
    }

    till::TillSource sourceFor(const std::string& branch = "0001") const {
        return {"127.0.0.1", source_->port(), wire::NetSettings{}, branch, "001"};
    }

    // The exit status, standard output and standard error of a command line.
    struct Run {
        int status;
        std::string out, err;
    };
    Run serverRun(std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--db", "sqlite:" + serverDb_, "--branch", "0001", "--table", "001"});
        std::ostringstream out, err;
        const int status = server::runCommand(args, out, err);
        return {status, out.str(), err.str()};
    }
    Run tillRun(std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"--db", tillDb_});
        std::ostringstream out, err;
        const std::atomic<bool> stop{false};
        const int status = till::runTill(args, out, err, stop);
        return {status, out.str(), err.str()};
    }

    // Every moment, consumer type and form of the book, and the explanation of a few
    // products, the same from the till's file as from the server's database.
    void expectTheServersPrices() {
        for (const char* at : kMoments) {
            for (const char* type : kTypes) {
                std::vector<std::string> moment{"--at", at};
                if (*type != '\0') {
                    moment.insert(moment.end(), {"--type", type});
                }
                for (const bool csv : {false, true}) {
                    std::vector<std::string> args{"prices"};
                    args.insert(args.end(), moment.begin(), moment.end());
                    if (csv) {
                        args.push_back("--csv");
                    }
                    const Run server = serverRun(args);
                    ASSERT_EQ(server.status, 0) << server.err;
                    EXPECT_EQ(tillRun(args).out, server.out) << at << " tipo '" << type << "'";
                }
                for (const char* product : {"0000000001", "0000000002", "0000000004", "0000000007"}) {
                    std::vector<std::string> args{"price", "--product", product};
                    args.insert(args.end(), moment.begin(), moment.end());
                    const Run server = serverRun(args);
                    const Run till = tillRun(args);
                    EXPECT_EQ(till.status, server.status) << product << ' ' << at;
                    EXPECT_EQ(till.out, server.out) << product << ' ' << at << " tipo '" << type << "'";
                }
            }
        }
    }

    fs::path dir_;
    std::string serverDb_, tillDb_;
    std::unique_ptr<tilltest::PriceSource> source_;
};

TEST_F(Replica, TheFirstSyncLoadsEveryPageAndPricesAsTheServerDoes) {
    const Run sync = tillRun({"sync", "--server", "127.0.0.1:" + std::to_string(source_->port()),
                              "--branch", "0001", "--table", "001"});
    ASSERT_EQ(sync.status, 0) << sync.err;
    EXPECT_EQ(source_->pagesServed, 3);  // 200 products, 70 a page
    expectTheServersPrices();

    const Run status = tillRun({"status"});
    EXPECT_TRUE(std::regex_match(status.out, std::regex("filial: 0001\ntabela: 001\nalteracao: 1\n"
                                                        "atualizado: \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ\n"
                                                        "produtos: 200\nregras: 8\n")))
        << status.out;
    const Run prices = tillRun({"prices", "--at", "2026-03-10 09:00"});
    EXPECT_TRUE(prices.err.starts_with("vnd-till: dados da alteração 1, atualizados em ")) << prices.err;
    EXPECT_EQ(std::count(prices.err.begin(), prices.err.end(), '\n'), 1);

    // Refusals in the server's words.
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"price", "--product", "0000009999", "--at", "2026-03-10 09:00"},
             {"price", "--product", "0000000001", "--at", "2026-03-10 25:00"},
             {"price", "--product", "0000000001", "--type", "99", "--at", "2026-03-10 09:00"},
             {"prices", "--type", "99", "--at", "2026-03-10 25:00"},
             {"prices", "--at", "10/03/2026 09:00"}}) {
        const Run server = serverRun(args);
        const Run till = tillRun(args);
        EXPECT_EQ(till.status, 1) << args[3];
        EXPECT_EQ(till.err.substr(till.err.find(':')), server.err.substr(server.err.find(':')));
    }
}

TEST_F(Replica, ChangesLoadAgainWhatTheyNameAndDropWhatIsGone) {
    till::TillReplica replica(tillDb_, sourceFor());
    ASSERT_EQ(replica.syncOnce(), 1);
    sql("UPDATE ITEMPREC SET VRPRECO = 7.77 WHERE CDPRODUTO = '0000000005';"
        "INSERT INTO PRECDIF VALUES ('0001','001','2026-01-01','0000000006','T','T','0001','2359',"
        "'2026-01-01','2026-12-31',0,0,1,0,'2026-03-01 10:00:00');"
        "DELETE FROM PRECDIF WHERE CDPRODUTO = '0000000004';"
        "DELETE FROM PRODFILI WHERE CDFILIAL = '0001' AND CDPRODUTO = '0000000007';"
        "INSERT INTO FERIADO VALUES ('0001', '2026-03-10', 'Padroeira');"
        "UPDATE ITEMPREC SET VRPRECO = VRPRECO + 1 WHERE CDFILIAL = '0001' AND CDTABEPREC = '001';");
    source_->ate = 9;
    source_->script(changes(9, false, {{2, 'B', "0000000005"}, {3, 'R', "0000000006"},
                                       {4, 'R', "0000000004"}, {5, 'P', "0000000007"},
                                       {6, 'F', ""}, {7, 'B', ""}}));
    EXPECT_EQ(replica.syncOnce(), 9);
    expectTheServersPrices();
    EXPECT_EQ(replica.status().products, 199);
    EXPECT_EQ(replica.status().rules, 8);  // product 4's rule gone, product 6's new
}

// An import names each product it changed and then every product: the batch loads the
// whole range once, not each product before it.
TEST_F(Replica, AChangeOfEveryProductLoadsTheRangeOnceForTheWholeBatch) {
    till::TillReplica replica(tillDb_, sourceFor());
    ASSERT_EQ(replica.syncOnce(), 1);
    sql("UPDATE ITEMPREC SET VRPRECO = VRPRECO + 1 WHERE CDFILIAL = '0001' AND CDTABEPREC = '001';");
    std::vector<tilltest::Change> rows;
    for (int p = 1; p <= 150; ++p) {
        const std::string number = std::to_string(p);
        rows.push_back({p + 1, 'B', std::string(10 - number.size(), '0') + number});
    }
    rows.push_back({152, 'B', ""});
    source_->ate = 152;
    source_->script(changes(152, false, rows));
    const int before = source_->pagesServed;
    EXPECT_EQ(replica.syncOnce(), 152);
    EXPECT_EQ(source_->pagesServed - before, 3);  // 200 products, 70 a page
    expectTheServersPrices();
}

// Products a batch names next to one another in the file come back as ranges of pages,
// far-apart ones one by one; either way the file ends as the server's.
TEST_F(Replica, NamedProductsAreLoadedAgainAsRangesNotOneCallEach) {
    struct Case {
        std::vector<int> products;  // named, in change order
        int pages;                  // GetDadosPreco calls the batch may take
        int unnamed;                // a product the batch must leave as it was
    };
    std::vector<int> neighbours;  // 150 of them, 70 a page
    for (int p = 151; p > 1; --p) {
        neighbours.push_back(p);
    }
    const Case cases[] = {
        {{12, 13, 11, 14}, 1, 15},  // one run, out of order
        {{1, 200}, 2, 100},         // far apart: two single products
        {neighbours, 3, 180},
    };
    till::TillReplica replica(tillDb_, sourceFor());
    ASSERT_EQ(replica.syncOnce(), 1);
    long long number = 1;
    const auto priceOf = [&](int product, bool fromServer) {
        char code[11];
        std::snprintf(code, sizeof code, "%010d", product);
        const std::vector<std::string> args{"price", "--product", code, "--at", "2026-03-10 09:00"};
        return fromServer ? serverRun(args).out : tillRun(args).out;
    };
    for (const Case& c : cases) {
        sql("UPDATE ITEMPREC SET VRPRECO = VRPRECO + 1 WHERE CDFILIAL = '0001';"
            "DELETE FROM PRODFILI WHERE CDFILIAL = '0001' AND CDPRODUTO = '0000000013';");
        std::vector<tilltest::Change> rows;
        for (int p : c.products) {
            char code[11];
            std::snprintf(code, sizeof code, "%010d", p);
            rows.push_back({++number, 'B', code});
        }
        source_->ate = number;
        source_->script(changes(number, false, rows));
        const int before = source_->pagesServed;
        EXPECT_EQ(replica.syncOnce(), number);
        EXPECT_LE(source_->pagesServed - before, c.pages) << c.products.size() << " products";
        EXPECT_EQ(priceOf(c.products.back(), false), priceOf(c.products.back(), true));
        EXPECT_NE(priceOf(c.unnamed, false), priceOf(c.unnamed, true));
        sql("UPDATE ITEMPREC SET VRPRECO = VRPRECO - 1 WHERE CDFILIAL = '0001';");
    }
    EXPECT_EQ(replica.status().products, 199);  // product 13, named, no longer sold
}

// Each change is applied in one local transaction and a first load goes to a new file:
// a till cut off part way (or killed) keeps the file it had, at the number it had.
TEST_F(Replica, ALinkLostPartWayLeavesTheFileAtTheChangeItHad) {
    source_->failOnPage = 2;
    EXPECT_THROW(till::TillReplica(tillDb_, sourceFor()).syncOnce(), till::LinkDown);
    EXPECT_FALSE(fs::exists(tillDb_));

    till::TillReplica replica(tillDb_, sourceFor());
    ASSERT_EQ(replica.syncOnce(), 1);
    const std::string before = tillRun({"prices", "--at", "2026-03-10 09:00", "--csv"}).out;
    sql("UPDATE ITEMPREC SET VRPRECO = VRPRECO + 1;");
    source_->ate = 2;
    source_->script(changes(2, false, {{2, 'B', ""}}));
    source_->failOnPage = source_->pagesServed + 2;
    EXPECT_THROW(replica.syncOnce(), till::LinkDown);
    EXPECT_EQ(replica.changeNumber(), 1);
    EXPECT_EQ(tillRun({"prices", "--at", "2026-03-10 09:00", "--csv"}).out, before);

    source_->script(changes(2, false, {{2, 'B', ""}}));
    EXPECT_EQ(replica.syncOnce(), 2);
    expectTheServersPrices();
}

TEST_F(Replica, ResynchronizingLoadsEverythingIntoANewFileAndSwapsItIn) {
    till::TillReplica replica(tillDb_, sourceFor());
    ASSERT_EQ(replica.syncOnce(), 1);
    sql("DELETE FROM PRECDIF WHERE CDPRODUTO < '0000000003'; DELETE FROM FERIADO;");
    source_->ate = 50;
    source_->script(changes(50, true, {}));
    EXPECT_EQ(replica.syncOnce(), 50);
    expectTheServersPrices();
    EXPECT_FALSE(fs::exists(tillDb_ + ".novo"));

    // The file keeps one branch's and table's data.
    try {
        till::TillReplica(tillDb_, sourceFor("0002")).syncOnce();
        ADD_FAILURE() << "a file of branch 0001 was synced for 0002";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("guarda a filial 0001"), std::string::npos) << e.what();
    }
}

TEST_F(Replica, FollowingRetriesWhileTheServerIsAwayAndStopsWhenAsked) {
    till::TillReplica replica(tillDb_, sourceFor());
    ASSERT_EQ(replica.syncOnce(), 1);
    source_->stop();
    std::atomic<bool> stop{false};
    std::ostringstream log;
    std::thread follower([&] { replica.follow(stop, log); });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    // Away, the till still prices from its file.
    EXPECT_EQ(tillRun({"price", "--product", "0000000001", "--at", "2026-03-10 09:00"}).status, 0);
    sql("UPDATE ITEMPREC SET VRPRECO = 1.23 WHERE CDPRODUTO = '0000000001';");
    source_->ate = 2;
    source_->script(changes(2, false, {{2, 'B', "0000000001"}}));
    source_->start();
    till::TillReplica reader(tillDb_);
    for (int i = 0; i < 200 && reader.changeNumber() < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(reader.changeNumber(), 2);
    const auto asked = std::chrono::steady_clock::now();
    stop = true;  // while it waits for the next change
    follower.join();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(2));
    const std::string where = "127.0.0.1:" + std::to_string(source_->port());
    EXPECT_NE(log.str().find("vnd-till: Não foi possível conectar ao servidor de aplicação " + where +
                             " (conexão recusada). Nova tentativa em "),
              std::string::npos)
        << log.str();
    EXPECT_NE(log.str().find("vnd-till: conexão com o servidor " + where + " restabelecida\n"),
              std::string::npos)
        << log.str();
    expectTheServersPrices();
}

// The program itself: it follows until SIGTERM, which ends it between two changes, and
// says where its file stands.
TEST_F(Replica, TheProgramFollowsUntilSigtermAndSaysWhereItStopped) {
    const std::string errFile = (dir_ / "err.txt").string();
    const pid_t pid = tilltest::startTill({"sync", "--server", "127.0.0.1:" + std::to_string(source_->port()),
                                           "--branch", "0001", "--table", "001", "--db", tillDb_, "--follow"},
                                          errFile);
    ASSERT_GT(pid, 0);
    auto reached = [&](long long number) {
        for (int i = 0; i < 400; ++i) {
            if (fs::exists(tillDb_) && till::TillReplica(tillDb_).changeNumber() >= number) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    };
    EXPECT_TRUE(reached(1));
    sql("UPDATE ITEMPREC SET VRPRECO = 2.5 WHERE CDPRODUTO = '0000000002';");
    source_->ate = 2;
    source_->script(changes(2, false, {{2, 'B', "0000000002"}}));
    EXPECT_TRUE(reached(2));
    ::kill(pid, SIGTERM);
    int status = -1;
    for (int i = 0; i < 100 && ::waitpid(pid, &status, WNOHANG) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (status == -1) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        ADD_FAILURE() << "vnd-till did not end on SIGTERM";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::ostringstream err;
    err << std::ifstream(errFile).rdbuf();
    const std::string said = err.str();
    EXPECT_EQ(said, "vnd-till: parado na alteração 2\n");
    expectTheServersPrices();
}

}  // namespace
