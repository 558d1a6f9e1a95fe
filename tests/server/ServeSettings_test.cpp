// serve's settings: the configuration file under the command line, and the errors that
// stop a start naming the file, the line and the key.

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "server/cli/ConfigFile.h"
#include "server/cli/ServeSettings.h"
#include "server/cli/ConfigError.h"

namespace {

using server::ConfigFile;
using server::ServeSettings;

ServeSettings::Resolved resolve(const std::vector<std::pair<std::string, std::string>>& cli,
                                const std::string& file) {
    ServeSettings settings;
    for (const auto& [key, value] : cli) {
        settings.setFromCommandLine(key, value);
    }
    settings.addFile(ConfigFile::parse(file, "/etc/vnd-server/vnd-server.conf"));
    return settings.resolve();
}

TEST(ServeSettings, CommandLineWinsOverFileWhichWinsOverDefaults) {
    const std::string file =
        "# a comment\n"
        "db = sqlite:/var/lib/vnd-server/vnd.db   # after the value too\n"
        "\n"
        "  max-connections=40\n"
        "idle-timeout = 30\n"
        "log-level = debug\n"
        "allow-plaintext = yes\n"
        "metrics = 127.0.0.1:7401\n"
        "read-connections = 3\n";
    const auto fromFile = resolve({}, file);
    EXPECT_EQ(fromFile.url, "sqlite:/var/lib/vnd-server/vnd.db");
    EXPECT_EQ(fromFile.options.maxConnections, 40u);
    EXPECT_EQ(fromFile.options.idleTimeout, std::chrono::seconds(30));
    EXPECT_EQ(fromFile.logLevel, server::LogLevel::Debug);
    EXPECT_TRUE(fromFile.options.allowPlainText);
    EXPECT_EQ(fromFile.metrics, "127.0.0.1:7401");
    EXPECT_EQ(fromFile.options.readConnectionCount(), 3u);
    // Untouched by either: the defaults; derived ones follow the values in force.
    EXPECT_EQ(fromFile.listen, "127.0.0.1:7400");
    EXPECT_EQ(fromFile.options.requestTimeout, server::ServerOptions{}.requestTimeout);
    EXPECT_EQ(fromFile.options.maxUnauthenticated, 10u);

    const auto overridden =
        resolve({{"db", "sqlite:/tmp/other.db"}, {"max-connections", "8"}, {"log-level", "error"}},
                file);
    EXPECT_EQ(overridden.url, "sqlite:/tmp/other.db");
    EXPECT_EQ(overridden.options.maxConnections, 8u);
    EXPECT_EQ(overridden.logLevel, server::LogLevel::Error);
    EXPECT_EQ(overridden.options.idleTimeout, std::chrono::seconds(30));
}

TEST(ServeSettings, ABadFileStopsTheStartNamingFileLineAndKey) {
    const std::string name = "/etc/vnd-server/vnd-server.conf";
    struct Case {
        const char* text;
        const char* told;  // the start of the message
    };
    const Case cases[] = {
        {"db = sqlite:x.db\nmax-conections = 4\n", ":2: max-conections: chave desconhecida"},
        {"db = sqlite:x.db\n\n\nmax-connections = muitas\n", ":4: max-connections deve ser"},
        {"db = sqlite:x.db\nidle-timeout = 0\n", ":2: idle-timeout deve ser"},
        {"db = sqlite:x.db\nread-connections = 65\n", ":2: read-connections deve ser"},
        {"db = sqlite:x.db\nlog-level = verbose\n", ":2: log-level deve ser"},
        {"db = sqlite:x.db\nallow-plaintext = talvez\n", ":2: allow-plaintext deve ser"},
        {"db = sqlite:x.db\nmetrics = 7401\n", ":2: metrics deve ser HOST:PORTA"},
        {"db = sqlite:x.db\nlisten 127.0.0.1:1\n", ":2: linha sem \"=\""},
        {"db = sqlite:x.db\n= 4\n", ":2: linha sem chave"},
        {"db = sqlite:x.db\ndb = sqlite:y.db\n", ":2: db: chave repetida (já definida na linha 1)"},
        {"db = postgresql://vnd:segredo@db/vnd\n", ":1: db: a senha do banco de dados"},
    };
    for (const Case& c : cases) {
        try {
            resolve({}, c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const server::ConfigError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(name + c.told, 0), 0u) << e.what();
            EXPECT_EQ(std::string(e.what()).find("segredo"), std::string::npos) << e.what();
        }
    }
    // A bad value on the command line names the option, not the file.
    try {
        resolve({{"max-connections", "0"}}, "db = sqlite:x.db\nmax-connections = 4\n");
        ADD_FAILURE();
    } catch (const server::ConfigError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("--max-connections deve ser", 0), 0u) << e.what();
    }
    EXPECT_THROW(resolve({}, "listen = 127.0.0.1:1\n"), server::ConfigError);  // no database
}

// The packaged file is the administrator's list of what can be set: every key serve
// takes is there, commented out with its default, and nothing else.
TEST(ServeSettings, ThePackagedFileListsEveryKeyWithItsDefault) {
    std::ifstream in(VND_PACKAGING_DIR "/vnd-server.conf");
    ASSERT_TRUE(in) << VND_PACKAGING_DIR "/vnd-server.conf";
    std::map<std::string, std::string> listed;
    const std::regex commented("^#([a-z-]+) = ?(.*)$");
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_match(line, m, commented)) {
            listed[m[1]] = m[2];
        }
        EXPECT_TRUE(line.empty() || line[0] == '#') << "set in the packaged file: " << line;
    }
    for (const server::ServeKey& key : server::serveKeys()) {
        ASSERT_TRUE(listed.contains(key.name)) << key.name;
        EXPECT_EQ(listed[key.name], key.fallback) << key.name;
        listed.erase(key.name);
    }
    EXPECT_TRUE(listed.empty()) << listed.begin()->first;
}

}  // namespace
