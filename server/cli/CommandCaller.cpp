#include "server/cli/CommandCaller.h"

#include <pwd.h>
#include <unistd.h>

namespace server {

RuleStore::Caller commandCaller(const std::string& command) {
    const passwd* user = getpwuid(geteuid());
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    // The history's columns hold 64 characters; host and user names are ASCII.
    const std::string station = std::string(host) + " (vnd-server " + command + ")";
    return {std::string(user != nullptr ? user->pw_name : std::to_string(geteuid())).substr(0, 64),
            station.size() > 64 ? station.substr(station.size() - 64) : station};
}

}  // namespace server
