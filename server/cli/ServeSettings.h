#pragma once
// What `vnd-server serve` is told, from its command line and its configuration file.

#include <map>
#include <optional>
#include <span>
#include <string>

#include "server/cli/ConfigFile.h"
#include "server/ops/Log.h"
#include "server/net/ServerOptions.h"

namespace server {

/// One setting of serve: its long option name without dashes (the configuration file's
/// key), what its value looks like, its default as shown, and its help.
struct ServeKey {
    const char* name;
    const char* placeholder;  ///< nullptr for a flag (no value on the command line)
    const char* fallback;     ///< the default as the packaged configuration file shows it
    const char* help;
};

/// Every setting serve takes, in the order the help and the packaged file list them.
std::span<const ServeKey> serveKeys();

/// The settings of one serve: gathered from the command line first, then from the
/// configuration file under them (the command line wins), then checked and turned into
/// what the server needs. The defaults are those of ServerOptions.
class ServeSettings {
public:
    /// Everything serve needs to start.
    struct Resolved {
        std::string url;
        std::string listen = "127.0.0.1:7400";
        std::optional<std::string> metrics;    ///< HOST:PORT of /metrics and /healthz
        std::optional<std::string> tokenFile;  ///< read again on SIGHUP
        LogLevel logLevel = LogLevel::Info;
        ServerOptions options;  ///< the token already loaded
    };

    /// A value given on the command line (a flag's value is "true").
    void setFromCommandLine(const std::string& key, std::string value);
    /// Adds the file's entries for keys the command line did not set. Throws ConfigError
    /// "FILE:LINE: KEY: ..." for a key serve does not take.
    void addFile(const ConfigFile& file);
    /// Checks every value and loads the token. Throws ConfigError naming the option (and
    /// for a value from the file, the file, line and key) for a missing database, a bad
    /// number, level, flag or address, or TLS files not given together, and
    /// std::runtime_error for a token that cannot be loaded.
    Resolved resolve() const;

private:
    struct Value {
        std::string text;
        std::string origin;  ///< "" for the command line, else "FILE:LINE"
    };
    const Value* find(const std::string& key) const;
    /// "--key" or "FILE:LINE: key", for messages.
    std::string named(const std::string& key) const;
    /// The key's whole number, from smallest to largest (fallback when not given).
    long long positive(const std::string& key, long long fallback, long long largest,
                       long long smallest = 1) const;
    bool flag(const std::string& key) const;

    std::map<std::string, Value> values_;
};

}  // namespace server
