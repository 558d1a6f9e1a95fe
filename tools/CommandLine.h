#pragma once
// The command line of vnd-script.

#include <string>
#include <vector>

namespace tools {

/// What one invocation asks for.
struct RunOptions {
    enum class Mode { RunScenarios, MakeLocalDb, Help };
    Mode mode = Mode::RunScenarios;
    bool demo = false;       ///< --demo: in-process server and fresh databases
    std::string serverHost;  ///< --server HOST:PORT
    int serverPort = 0;
    std::string db;                  ///< --db URL: an in-process server over this database
    std::string localDb;             ///< --localdb FILE (also the make-localdb FILE)
    std::string modulePath;          ///< the last --module PATH; empty: none given
    std::vector<std::string> modulePaths;  ///< every --module PATH; none: the build's modules
    int products = 200;              ///< --products N
    bool verbose = false;            ///< --verbose: echo every command and message
    std::vector<std::string> files;  ///< the scenario files, in order
};

/// The pure reader of the arguments (no I/O).
class CommandLine {
  public:
    /// Reads the arguments without the program name. Throws std::invalid_argument with a
    /// one-line reason for a wrong combination, a missing value or an unknown option.
    static RunOptions parse(const std::vector<std::string>& args);

    /// The help text.
    static std::string usage();
};

}  // namespace tools
