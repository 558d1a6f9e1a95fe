#pragma once
// Starts the programs themselves (vnd-till, vnd-server), for the tests of what only a
// process shows (signals, a kill at any moment) and of their command lines end to end.

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tilltest {

/// Starts a program with these arguments (without the program name), its standard output
/// and standard error into these files when named; its process id, or -1 when it could
/// not start.
inline pid_t startProgram(const char* binary, std::vector<std::string> args,
                          const std::string& outFile = "", const std::string& errFile = "") {
    args.insert(args.begin(), binary);
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    if (!outFile.empty()) {
        posix_spawn_file_actions_addopen(&files, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    if (!errFile.empty()) {
        posix_spawn_file_actions_addopen(&files, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    pid_t pid = -1;
    if (posix_spawn(&pid, binary, &files, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&files);
    return pid;
}

#ifdef VND_TILL_BINARY
/// Starts vnd-till with these arguments, its standard error into errFile when named.
inline pid_t startTill(std::vector<std::string> args, const std::string& errFile = "") {
    return startProgram(VND_TILL_BINARY, std::move(args), "", errFile);
}
#endif

/// How a program that ran to its end ended: its exit status (-1 when a signal ended it or
/// it was killed for running past the wait) and what it wrote.
struct Finished {
    int status = -1;
    std::string out, err;
};

/// Runs a program to its end, at most `wait`; `scratch` names the files its output goes
/// through (scratch.out, scratch.err).
inline Finished runProgram(const char* binary, std::vector<std::string> args,
                           const std::string& scratch,
                           std::chrono::seconds wait = std::chrono::seconds(60)) {
    Finished done;
    const pid_t pid = startProgram(binary, std::move(args), scratch + ".out", scratch + ".err");
    if (pid <= 0) {
        return done;
    }
    int status = 0;
    const auto end = std::chrono::steady_clock::now() + wait;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    done.status = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    for (auto [name, into] : {std::pair{".out", &done.out}, std::pair{".err", &done.err}}) {
        std::ifstream in(scratch + name, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        *into = text.str();
    }
    return done;
}

}  // namespace tilltest
