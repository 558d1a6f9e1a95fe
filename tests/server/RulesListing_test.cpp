// `vnd-server rules` over a large PRECDIF: every row listed, in the memory of a few rows
// whatever the count, on both backends. Run as the real program, so that its peak memory
// is its own.

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestDatabase.h"
#include "server/store/StoreFactory.h"
#include "server/cli/DatabaseInit.h"

extern char** environ;

namespace {

struct Listing {
    int status = -1;
    long peakKilobytes = 0;
    long lines = 0;
};

// Runs `vnd-server rules --db URL` with its output in a file, and reads its peak resident
// memory from the kernel's account of the child.
Listing listRules(const std::string& url, const std::string& outputPath) {
    std::vector<std::string> args = {VND_SERVER_BINARY, "rules", "--db", url};
    // AddressSanitizer keeps freed memory aside (up to 256 MB) before reusing it; that
    // would grow with the rows read even when the program holds none of them.
    std::vector<std::string> env;
    std::string asan = "ASAN_OPTIONS=quarantine_size_mb=0";
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.starts_with("ASAN_OPTIONS=")) {
            asan.append(":").append(entry.substr(std::string("ASAN_OPTIONS=").size()));
        } else {
            env.push_back(entry);
        }
    }
    env.push_back(asan);
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int null = open("/dev/null", O_WRONLY);
        dup2(out, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        std::vector<char*> argv, envp;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        for (std::string& e : env) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    Listing listing;
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) {
        return listing;
    }
    listing.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    listing.peakKilobytes = usage.ru_maxrss;
    std::ifstream in(outputPath);
    std::string line;
    while (std::getline(in, line)) {
        ++listing.lines;
    }
    return listing;
}

// Ten rows (one per day kind) for each of `count` products from number `first` on.
void storeRowsHere(server::RuleStore& store, int first, int count) {
    server::RuleRows rule;
    rule.shared.branch = "0001";
    rule.shared.table = "001";
    rule.shared.periodStart = wire::Date{2026, 1, 1};
    rule.shared.consumerType.assign(1, 'T');
    rule.shared.timeStart = "0000";
    rule.shared.timeEnd = "2359";
    rule.shared.validFrom = wire::Date{2026, 2, 1};
    rule.shared.validTo = wire::Date{2026, 2, 28};
    rule.shared.amount = 1.25;
    for (int i = first; i < first + count; ++i) {
        const std::string code = std::to_string(i);
        rule.products.push_back(std::string(10 - code.size(), '0').append(code));
    }
    rule.days = {'T', 'F', 'V', '1', '2', '3', '4', '5', '6', '7'};
    store.upsertRule(rule);
}

// The same, stored by a child process of this one. A child's peak memory starts from its parent's
// at the fork, so the test process itself must stay small: the store's caches (and the
// sanitizer's) grow in the child that stores, and go with it.
void storeRows(const std::string& url, int first, int count) {
    const pid_t pid = fork();
    if (pid == 0) {
        int status = 0;
        try {
            storeRowsHere(*server::openStore(url), first, count);
        } catch (const std::exception&) {
            status = 1;
        }
        _exit(status);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "storing the rows failed";
}

class RulesListing : public testing::TestWithParam<testdb::Backend> {};

TEST_P(RulesListing, MemoryStaysFlatAsTheRulesGrowTenfold) {
    if (auto why = testdb::unavailable(GetParam())) {
        GTEST_SKIP() << *why;
    }
    testdb::TestDatabase db(GetParam());
    server::initDatabase(db.url(), false, 0);
    const std::string output = testing::TempDir() + "vnd-rules-listing-" +
                               std::to_string(getpid()) + ".tsv";

    storeRows(db.url(), 1, 1000);
    const Listing small = listRules(db.url(), output);
    storeRows(db.url(), 1001, 9000);
    const Listing large = listRules(db.url(), output);
    std::remove(output.c_str());

    ASSERT_EQ(small.status, 0);
    ASSERT_EQ(large.status, 0);
    EXPECT_EQ(small.lines, 10000 + 1);  // with the header line
    EXPECT_EQ(large.lines, 100000 + 1);
    RecordProperty("peak_kb_10000_rows", std::to_string(small.peakKilobytes));
    RecordProperty("peak_kb_100000_rows", std::to_string(large.peakKilobytes));
    std::cout << testdb::name(GetParam()) << ": peak resident memory " << small.peakKilobytes
              << " kB for 10,000 rows, " << large.peakKilobytes << " kB for 100,000\n";
    // Held in memory, 90,000 more rows would take some 25 MB more.
    EXPECT_LT(large.peakKilobytes - small.peakKilobytes, 8 * 1024);
}

INSTANTIATE_TEST_SUITE_P(Backends, RulesListing,
                         testing::Values(testdb::Backend::Sqlite, testdb::Backend::Postgres),
                         [](const testing::TestParamInfo<testdb::Backend>& p) {
                             return std::string(testdb::name(p.param));
                         });

}  // namespace
