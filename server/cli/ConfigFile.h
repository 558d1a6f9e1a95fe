#pragma once
// The server's configuration file: "key = value" lines.

#include <string>
#include <string_view>
#include <vector>

namespace server {

/// The lines of one configuration file that set something. A line is "key = value"
/// (blanks around both ignored); "#" starts a comment anywhere on a line, so a value
/// cannot hold "#"; blank lines are ignored. Keys are not checked here: the command that
/// reads the file knows which it takes.
class ConfigFile {
public:
    /// One setting and the line it was read from (1 for the first line).
    struct Entry {
        std::string key;
        std::string value;
        int line = 0;
    };

    /// Parses text read from `name`. Throws ConfigError "NAME:LINE: ..." for a line with
    /// no "=", with no key, or setting a key a second time.
    static ConfigFile parse(std::string_view text, std::string name);
    /// Reads and parses the file at path. Throws std::runtime_error naming the file when
    /// it cannot be read.
    static ConfigFile load(const std::string& path);

    const std::string& name() const { return name_; }
    const std::vector<Entry>& entries() const { return entries_; }
    /// "NAME:LINE", for messages about an entry.
    std::string where(const Entry& entry) const;

private:
    std::string name_;
    std::vector<Entry> entries_;
};

}  // namespace server
