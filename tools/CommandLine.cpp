#include "CommandLine.h"

#include <charconv>
#include <stdexcept>

#include "ScriptParser.h"

namespace tools {

namespace {

int wholeNumber(const std::string& text, const std::string& option, int minimum, int maximum) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < minimum ||
        value > maximum) {
        throw std::invalid_argument(option + ": \"" + text + "\" is not a number from " +
                                    std::to_string(minimum) + " to " + std::to_string(maximum));
    }
    return value;
}

void readServer(const std::string& text, RunOptions& options) {
    std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        throw std::invalid_argument("--server: \"" + text + "\" is not HOST:PORT");
    }
    std::string host = text.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    options.serverHost = host;
    options.serverPort = wholeNumber(text.substr(colon + 1), "--server", 1, 65535);
}

}  // namespace

RunOptions CommandLine::parse(const std::vector<std::string>& args) {
    RunOptions options;
    bool productsGiven = false;
    std::size_t i = 0;
    auto value = [&](const std::string& option) -> const std::string& {
        if (i + 1 >= args.size())
            throw std::invalid_argument(option + " needs a value");
        return args[++i];
    };

    if (!args.empty() && args[0] == "make-localdb") {
        options.mode = RunOptions::Mode::MakeLocalDb;
        for (i = 1; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (a == "--products") {
                options.products = wholeNumber(value(a), a, 0, 10'000'000);
            } else if (a.starts_with("-")) {
                throw std::invalid_argument("make-localdb: unknown option " + a);
            } else if (options.localDb.empty()) {
                options.localDb = a;
            } else {
                throw std::invalid_argument("make-localdb takes one FILE");
            }
        }
        if (options.localDb.empty())
            throw std::invalid_argument("make-localdb needs a FILE");
        return options;
    }

    bool serverGiven = false;
    for (i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            options.mode = RunOptions::Mode::Help;
            return options;
        } else if (a == "--demo") {
            options.demo = true;
        } else if (a == "--server") {
            readServer(value(a), options);
            serverGiven = true;
        } else if (a == "--db") {
            options.db = value(a);
        } else if (a == "--localdb") {
            options.localDb = value(a);
        } else if (a == "--module") {
            options.modulePath = value(a);
            options.modulePaths.push_back(options.modulePath);
        } else if (a == "--products") {
            options.products = wholeNumber(value(a), a, 0, 10'000'000);
            productsGiven = true;
        } else if (a == "-v" || a == "--verbose") {
            options.verbose = true;
        } else if (a.starts_with("-") && a != "-") {
            throw std::invalid_argument("unknown option " + a);
        } else {
            options.files.push_back(a);
        }
    }
    if (options.demo && (serverGiven || !options.db.empty() || !options.localDb.empty())) {
        throw std::invalid_argument(
            "--demo makes its own server and local database: drop --server, --db and --localdb");
    }
    if (serverGiven && !options.db.empty()) {
        throw std::invalid_argument("--server and --db exclude each other");
    }
    if (!options.demo && (!(serverGiven || !options.db.empty()) || options.localDb.empty())) {
        throw std::invalid_argument(
            "give either --demo, or --server HOST:PORT or --db URL with --localdb FILE");
    }
    if (productsGiven && !options.demo)
        throw std::invalid_argument("--products goes with --demo");
    if (options.files.empty())
        throw std::invalid_argument("no scenario file given");
    return options;
}

std::string CommandLine::usage() {
    return "usage: vnd-script --demo [--products N] [options] FILE...\n"
           "       vnd-script --server HOST:PORT --localdb FILE [options] FILE...\n"
           "       vnd-script --db URL --localdb FILE [options] FILE...\n"
           "       vnd-script make-localdb FILE [--products N]\n"
           "\n"
           "Runs scenario files against the screen module, headless, as a person would.\n"
           "  --demo             an in-process server over a fresh demo database and a fresh\n"
           "                     local database, in a temporary folder removed at exit\n"
           "  --server HOST:PORT an application server that is already running\n"
           "  --db URL           an in-process server over this existing database, kept as it\n"
           "                     is (what a scenario stores stays); the server commands work\n"
           "  --localdb FILE     the host's local database to use with --server or --db\n"
           "  --module PATH      a screen module to load; repeat it for several (default:\n"
           "                     every libvnd*.so of the build); `screen CODE` picks the\n"
           "                     screen a scenario acts on, VND42407 until then\n"
           "  --products N       size of the demo product set (default 200)\n"
           "  -v, --verbose      print every command and every message shown\n"
           "make-localdb writes the demo local database into FILE.\n"
           "\n"
           "Exit status: 0 every scenario passed; 1 a scenario failed (an expectation, or an\n"
           "action a person could not do); 2 wrong usage, an unreadable scenario, or an\n"
           "environment that could not be set up.\n"
           "\n"
           "Commands (one a line, # starts a comment, TEXT in double quotes with \\\" and "
           "\\\\):\n" +
           ScriptParser::reference();
}

}  // namespace tools
