#pragma once
// The command line of vnd-server: init, serve and rules.

#include <iosfwd>
#include <string>
#include <vector>

#include "server/store/DatabaseUrl.h"

namespace server {

/// The exit status of a command stopped by a database only its owner can set right (a
/// schema upgrade the server's role may not make): starting again changes nothing, so
/// the service unit lists it in RestartPreventExitStatus=.
inline constexpr int kExitNeedsOwner = 3;

/// Runs one command line (without the program name) and gives the exit status: 0 done,
/// 1 failed (the reason written to err), 2 wrong usage, kExitNeedsOwner. `serve` returns
/// after SIGINT or SIGTERM.
int runCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/// The stored rules as tab-separated lines under a header line (what `rules` prints).
void printRules(const std::string& url, const std::string* branch, const std::string* table,
                std::ostream& out);

}  // namespace server
