#include "server/cli/ConfigFile.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "server/cli/ConfigError.h"

namespace server {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

}  // namespace

ConfigFile ConfigFile::parse(std::string_view text, std::string name) {
    ConfigFile file;
    file.name_ = std::move(name);
    int number = 0;
    for (std::size_t start = 0; start <= text.size();) {
        const auto end = text.find('\n', start);
        std::string_view line =
            text.substr(start, end == std::string_view::npos ? std::string_view::npos
                                                             : end - start);
        start = end == std::string_view::npos ? text.size() + 1 : end + 1;
        ++number;
        line = trimmed(line.substr(0, line.find('#')));
        if (line.empty()) {
            continue;
        }
        const std::string at = file.name_ + ":" + std::to_string(number) + ": ";
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            throw ConfigError(at + "linha sem \"=\": use chave = valor");
        }
        Entry entry{std::string(trimmed(line.substr(0, equals))),
                    std::string(trimmed(line.substr(equals + 1))), number};
        if (entry.key.empty()) {
            throw ConfigError(at + "linha sem chave antes do \"=\"");
        }
        // A key set twice is most likely an edit that forgot the first one: which of the
        // two the server would take is better asked than guessed.
        for (const Entry& earlier : file.entries_) {
            if (earlier.key == entry.key) {
                throw ConfigError(at + entry.key + ": chave repetida (já definida na linha " +
                                 std::to_string(earlier.line) + ")");
            }
        }
        file.entries_.push_back(std::move(entry));
    }
    return file;
}

ConfigFile ConfigFile::load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("Não foi possível ler o arquivo de configuração " + path + ".");
    }
    std::ostringstream text;
    text << in.rdbuf();
    return parse(text.str(), path);
}

std::string ConfigFile::where(const Entry& entry) const {
    return name_ + ":" + std::to_string(entry.line);
}

}  // namespace server
