#pragma once
// Starts the vnd-till program itself, for the tests of what only a process shows
// (signals, a kill at any moment).

#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tilltest {

/// Starts vnd-till with these arguments (without the program name), its standard error
/// into errFile when one is given; its process id, or -1 when it could not start.
inline pid_t startTill(std::vector<std::string> args, const std::string& errFile = "") {
    args.insert(args.begin(), "vnd-till");
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    if (!errFile.empty()) {
        posix_spawn_file_actions_addopen(&files, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    pid_t pid = -1;
    if (posix_spawn(&pid, VND_TILL_BINARY, &files, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&files);
    return pid;
}

}  // namespace tilltest
