#pragma once
// The command line of vnd-till: sync, price, prices and status.

#include <atomic>
#include <iosfwd>
#include <string>
#include <vector>

namespace till {

/// Runs one command line (without the program name) and gives the exit status: 0 done,
/// 1 failed (the reason written to err), 2 wrong usage. `sync --follow` returns once
/// stop becomes true (the program sets it on SIGTERM and SIGINT).
int runTill(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const std::atomic<bool>& stop);

/// The six lines of `status` for a file's state and counts.
struct TillStatus;
std::string statusText(const TillStatus& status);

}  // namespace till
