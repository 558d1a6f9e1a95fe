#include "ServerProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace bench {

namespace {

std::string programBesideThis() {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "vnd-server").string();
}

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

ServerProcess::ServerProcess(const std::string& url, const std::string& logFile,
                             const std::vector<std::string>& options) {
    std::vector<std::string> args{programBesideThis(), "serve", "--db", url, "--listen",
                                  "127.0.0.1:0"};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        const int fd = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0) {
            dup2(fd, 1);
            dup2(fd, 2);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    pid_ = child;
    // The start event names the port the server took.
    for (int attempt = 0; attempt < 300; ++attempt) {
        const std::string log = readAll(logFile);
        const auto start = log.find("event=start");
        const auto listen = log.find("127.0.0.1:", start == std::string::npos ? log.size() : start);
        if (start != std::string::npos && listen != std::string::npos) {
            port_ = static_cast<unsigned short>(std::stoi(log.substr(listen + 10)));
            return;
        }
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            pid_ = 0;
            throw std::runtime_error("vnd-server did not start: " + log);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    pid_ = 0;
    throw std::runtime_error("vnd-server did not listen within 30 s: " + readAll(logFile));
}

ServerProcess::~ServerProcess() {
    if (pid_ > 0) {
        kill(static_cast<pid_t>(pid_), SIGTERM);
        int status = 0;
        waitpid(static_cast<pid_t>(pid_), &status, 0);
    }
}

}  // namespace bench
