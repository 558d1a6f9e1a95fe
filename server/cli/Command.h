#pragma once
// One command of vnd-server: how it is added to the program's command line.
//
// Each command lives in a file of its own (InitCommand.cpp, ServeCommand.cpp, ...) with
// one function that adds it: its options are bound when it is added, and its action runs
// when the command line chose it. runCommand calls every such function in turn, so a new
// command is one new file and one line in the list of Commands.cpp.

#include <functional>
#include <iosfwd>
#include <string>

#include "server/store/RuleStore.h"

namespace CLI {
class App;
}

namespace server {

/// A command as added to the program's parser.
struct Command {
    CLI::App* app = nullptr;  ///< its subcommand, its options bound
    /// Runs the command once its options are parsed: the exit status (0 done, 1 failed).
    /// Throws UsageError for a wrong use, anything else for a failure.
    std::function<int(std::ostream& out, std::ostream& err)> run;
};

/// Adds one command to the program's parser.
using AddCommand = Command (*)(CLI::App& program);

Command addInitCommand(CLI::App& program);
Command addServeCommand(CLI::App& program);
Command addRulesCommand(CLI::App& program);
Command addBackupCommand(CLI::App& program);
Command addPriceCommand(CLI::App& program);
Command addPricesCommand(CLI::App& program);
Command addHolidaysCommand(CLI::App& program);
Command addImportCommand(CLI::App& program);
Command addExportCommand(CLI::App& program);
Command addLocalDbCommand(CLI::App& program);
Command addBasePricesCommand(CLI::App& program);
Command addChangesCommand(CLI::App& program);

/// A new subcommand of the program with the help flag, --version and the Portuguese
/// group names every command shares.
CLI::App& newCommand(CLI::App& program, const std::string& name, const std::string& help);
/// Binds --db URL to target.
void addDatabaseOption(CLI::App& command, std::string& target);
/// Throws UsageError when no --db was given.
void requireDatabase(const std::string& url);

}  // namespace server
