#include "protocol/NetSettings.h"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <string_view>

namespace wire {

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

NetSettings NetSettings::fromEnvironment() {
    NetSettings s;
    if (const std::string file = environment("VND_SERVER_TOKEN_FILE"); !file.empty()) {
        s.token = tokenFromFile(file);
    } else {
        s.token = environment("VND_SERVER_TOKEN");
    }
    s.trustedCaFile = environment("VND_SERVER_CA");
    const std::string timeout = environment("VND_CALL_TIMEOUT");
    long seconds = 0;
    const auto [end, ec] = std::from_chars(timeout.data(), timeout.data() + timeout.size(), seconds);
    if (ec == std::errc() && end == timeout.data() + timeout.size() && seconds > 0) {
        s.callTimeout = std::chrono::seconds(seconds);
    }
    return s;
}

std::string NetSettings::tokenFromFile(const std::string& file) {
    std::string token;
    std::ifstream in(file);
    std::getline(in, token);
    while (!token.empty() && (token.back() == '\r' || token.back() == ' ')) {
        token.pop_back();
    }
    return token;
}

}  // namespace wire
