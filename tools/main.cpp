// vnd-script: runs scenario files against the screen module, headless.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "CommandLine.h"
#include "DemoServer.h"
#include "ModuleHandle.h"
#include "ScenarioRunner.h"
#include "ScriptParser.h"
#include "data/DataModule.h"
#include "demodata/LocalDatabase.h"
#include "forms/Application.h"

namespace {

constexpr int kPassed = 0;
constexpr int kFailed = 1;
constexpr int kBadSetup = 2;

/// The screen modules of the build this runner belongs to: every libvnd*.so of
/// build/<preset>/lib beside bin, in name order.
std::vector<std::string> defaultModulePaths() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    std::vector<std::string> found;
    if (!ec) {
        for (const auto& folder : {exe.parent_path().parent_path() / "lib", exe.parent_path()}) {
            for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
                const std::string name = entry.path().filename().string();
                if (name.starts_with("libvnd") && name.ends_with(".so"))
                    found.push_back(entry.path().string());
            }
            if (!found.empty())
                break;
        }
    }
    std::sort(found.begin(), found.end());
    if (found.empty())
        found.push_back("libvnd42407.so");  // left to the loader's search path
    return found;
}

/// The host's data module for the length of one scenario.
class LocalDatabaseSession {
  public:
    explicit LocalDatabaseSession(const std::string& path) {
        dataModule_.open(path);
        vol::Application::instance().setDataModule(&dataModule_);
    }
    ~LocalDatabaseSession() { vol::Application::instance().setDataModule(nullptr); }
    LocalDatabaseSession(const LocalDatabaseSession&) = delete;
    LocalDatabaseSession& operator=(const LocalDatabaseSession&) = delete;

  private:
    vol::DataModule dataModule_;
};

struct Totals {
    int passed = 0;
    int failed = 0;
};

/// Runs one scenario file in an environment of its own (fresh databases with --demo, a
/// freshly loaded module), so no file sees what another left.
int runFile(const std::string& file, const tools::RunOptions& options,
            const std::vector<std::string>& modulePaths, Totals& totals) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::cerr << file << ": cannot read the file\n";
        return kBadSetup;
    }
    std::stringstream text;
    text << in.rdbuf();
    tools::ParsedScript script = tools::ScriptParser::parse(text.str());
    if (!script.errors.empty()) {
        for (const auto& e : script.errors)
            std::cout << file << ":" << e.line << ": " << e.message << "\n";
        return kBadSetup;
    }

    try {
        std::unique_ptr<tools::DemoServer> demo;
        vol::HostSettings settings;
        settings.branch = "0001";
        settings.branchFixed = false;
        settings.productPicture = "99.99.999;0; ";
        std::string localDb = options.localDb;
        if (options.demo || !options.db.empty()) {
            demo = options.demo ? std::make_unique<tools::DemoServer>(options.products)
                                : std::make_unique<tools::DemoServer>(options.db, localDb);
            settings.serverHost = demo->host();
            settings.serverPort = demo->port();
            localDb = demo->localDatabase().string();
        } else {
            settings.serverHost = options.serverHost;
            settings.serverPort = options.serverPort;
        }
        LocalDatabaseSession database(localDb);
        // Every module, as the host loads them; unloaded in reverse order.
        std::vector<std::unique_ptr<tools::ModuleHandle>> modules;
        struct UnloadInReverse {
            std::vector<std::unique_ptr<tools::ModuleHandle>>& modules;
            ~UnloadInReverse() {
                while (!modules.empty()) modules.pop_back();
            }
        } unload{modules};
        std::vector<tools::ModuleHandle*> loaded;
        for (const std::string& path : modulePaths) {
            modules.push_back(std::make_unique<tools::ModuleHandle>(path));
            loaded.push_back(modules.back().get());
        }
        tools::ScenarioRunner runner(file, loaded, demo.get(), settings, std::cout,
                                     options.verbose);
        bool ok = runner.run(script.commands);
        totals.passed += runner.passed();
        totals.failed += runner.failed();
        return ok ? kPassed : kFailed;
    } catch (const std::exception& e) {
        std::cerr << file << ": cannot set up the scenario: " << e.what() << "\n";
        return kBadSetup;
    }
}

}  // namespace

int main(int argc, char** argv) {
    tools::RunOptions options;
    try {
        options = tools::CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument& e) {
        std::cerr << "vnd-script: " << e.what() << "\n"
                  << "try vnd-script --help\n";
        return kBadSetup;
    }

    switch (options.mode) {
        case tools::RunOptions::Mode::Help:
            std::cout << tools::CommandLine::usage();
            return kPassed;
        case tools::RunOptions::Mode::MakeLocalDb:
            try {
                demo::writeLocalDatabase(options.localDb, options.products);
                return kPassed;
            } catch (const std::exception& e) {
                std::cerr << "vnd-script: " << e.what() << "\n";
                return kFailed;
            }
        case tools::RunOptions::Mode::RunScenarios:
            break;
    }

    const std::vector<std::string> modulePaths =
        options.modulePaths.empty() ? defaultModulePaths() : options.modulePaths;
    Totals totals;
    int status = kPassed;
    for (const std::string& file : options.files) {
        status = runFile(file, options, modulePaths, totals);
        if (status != kPassed)
            break;
    }
    std::cout << totals.passed << " passed, " << totals.failed << " failed\n";
    return status;
}
