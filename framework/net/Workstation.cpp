#include "net/Workstation.h"

#include <array>
#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "protocol/ValueCodec.h"

namespace vol {

namespace {

std::string login() {
    if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_name) {
        return entry->pw_name;
    }
    // A container's user may have no entry in the user database.
    for (const char* name : {"USER", "LOGNAME"}) {
        if (const char* value = std::getenv(name); value && *value) {
            return value;
        }
    }
    return {};
}

std::string hostName() {
    std::array<char, 256> buffer{};
    if (::gethostname(buffer.data(), buffer.size() - 1) != 0) {
        return {};
    }
    return buffer.data();
}

}  // namespace

const Workstation& Workstation::current() {
    static const Workstation self{cut(login()), cut(hostName())};
    return self;
}

std::string Workstation::cut(const std::string& text, std::size_t max) {
    // The codec writes a byte that is not UTF-8 as U+FFFD; reading that back gives the
    // text the server will count.
    const std::string valid =
        nlohmann::json::parse(wire::dumpJson(nlohmann::json(text))).get<std::string>();
    std::size_t characters = 0;
    for (std::size_t i = 0; i < valid.size(); ++i) {
        if ((static_cast<unsigned char>(valid[i]) & 0xC0) != 0x80 && characters++ == max) {
            return valid.substr(0, i);
        }
    }
    return valid;
}

}  // namespace vol
