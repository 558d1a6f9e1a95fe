#include "CommandLine.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tools {
namespace {

TEST(CommandLineTest, DemoRunTakesFilesInOrder) {
    RunOptions o = CommandLine::parse({"--demo", "a.vnd", "-v", "b.vnd", "--products", "20"});
    EXPECT_EQ(o.mode, RunOptions::Mode::RunScenarios);
    EXPECT_TRUE(o.demo);
    EXPECT_TRUE(o.verbose);
    EXPECT_EQ(o.products, 20);
    EXPECT_EQ(o.files, (std::vector<std::string>{"a.vnd", "b.vnd"}));
}

TEST(CommandLineTest, OutsideServerNeedsHostPortAndLocalDatabase) {
    RunOptions o =
        CommandLine::parse({"--server", "10.0.0.5:7400", "--localdb", "local.db", "s.vnd"});
    EXPECT_FALSE(o.demo);
    EXPECT_EQ(o.serverHost, "10.0.0.5");
    EXPECT_EQ(o.serverPort, 7400);
    EXPECT_EQ(o.localDb, "local.db");
    EXPECT_EQ(CommandLine::parse({"--server", "[::1]:7401", "--localdb", "l", "s"}).serverHost,
              "::1");
    // A prepared database, served in the runner's own process.
    EXPECT_EQ(CommandLine::parse({"--db", "sqlite:x.db", "--localdb", "l", "s"}).db, "sqlite:x.db");
}

TEST(CommandLineTest, MakeLocalDb) {
    RunOptions o = CommandLine::parse({"make-localdb", "out.db", "--products", "5"});
    EXPECT_EQ(o.mode, RunOptions::Mode::MakeLocalDb);
    EXPECT_EQ(o.localDb, "out.db");
    EXPECT_EQ(o.products, 5);
}

class CommandLineErrorTest : public testing::TestWithParam<std::vector<std::string>> {};

TEST_P(CommandLineErrorTest, RefusesWrongUsage) {
    EXPECT_THROW(CommandLine::parse(GetParam()), std::invalid_argument);
}

INSTANTIATE_TEST_SUITE_P(
    Args, CommandLineErrorTest,
    testing::Values(
        std::vector<std::string>{"--demo"},                                      // no file
        std::vector<std::string>{"s.vnd"},                                       // no environment
        std::vector<std::string>{"--server", "h:1", "s.vnd"},                    // no local db
        std::vector<std::string>{"--demo", "--server", "h:1", "s.vnd"},          // both
        std::vector<std::string>{"--db", "sqlite:x", "s.vnd"},                   // no local db
        std::vector<std::string>{"--db", "sqlite:x", "--server", "h:1", "--localdb", "l", "s"},
        std::vector<std::string>{"--demo", "--db", "sqlite:x", "s.vnd"},
        std::vector<std::string>{"--server", "host", "--localdb", "l", "s"},     // no port
        std::vector<std::string>{"--server", "h:70000", "--localdb", "l", "s"},  // port range
        std::vector<std::string>{"--server", "h:1", "--localdb", "l", "--products", "3", "s"},
        std::vector<std::string>{"--demo", "--products", "-3", "s"},
        std::vector<std::string>{"--demo", "--module"},  // value missing
        std::vector<std::string>{"--demo", "--colour", "s"},
        std::vector<std::string>{"make-localdb"},
        std::vector<std::string>{"make-localdb", "a", "b"}));

}  // namespace
}  // namespace tools
