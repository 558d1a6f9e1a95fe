#include "server/cli/TokenSource.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace server {

namespace {

// Long enough that guessing it over the network is hopeless even without the closing
// of the connection after each wrong try.
constexpr std::size_t kShortestToken = 16;

std::string checked(std::string token, const std::string& from) {
    while (!token.empty() && (token.back() == '\r' || token.back() == ' ' ||
                              token.back() == '\t')) {
        token.pop_back();
    }
    if (token.empty()) {
        throw std::runtime_error("O token de acesso de " + from + " está vazio.");
    }
    if (token.size() < kShortestToken) {
        throw std::runtime_error("O token de acesso de " + from + " deve ter ao menos " +
                                 std::to_string(kShortestToken) + " caracteres.");
    }
    return token;
}

}  // namespace

std::string loadToken(const std::optional<std::string>& file) {
    namespace fs = std::filesystem;
    if (file) {
        std::error_code error;
        const fs::perms perms = fs::status(*file, error).permissions();
        if (error) {
            throw std::runtime_error("Não foi possível ler o arquivo de token " + *file + ": " +
                                     error.message());
        }
        // A secret others can read is no secret; ssh refuses its keys the same way.
        if ((perms & (fs::perms::others_read | fs::perms::others_write)) != fs::perms::none) {
            throw std::runtime_error("O arquivo de token " + *file +
                                     " pode ser lido por outros usuários; use chmod 600.");
        }
        std::ifstream in(*file);
        std::string line;
        // An empty file was read all right: it is its token that is refused, below.
        if (!in || fs::is_directory(*file, error) || (!std::getline(in, line) && in.bad())) {
            throw std::runtime_error("Não foi possível ler o arquivo de token " + *file + ".");
        }
        return checked(line, "arquivo " + *file);
    }
    if (const char* value = std::getenv(kTokenVariable); value && *value) {
        return checked(value, kTokenVariable);
    }
    return {};
}

}  // namespace server
