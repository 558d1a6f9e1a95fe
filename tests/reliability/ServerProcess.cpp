#include "ServerProcess.h"

#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <string_view>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace reliability {

ServerProcess::ServerProcess(const std::string& binary, const std::string& url,
                             const std::vector<std::string>& extra) {
    int out[2];
    if (pipe(out) != 0) {
        throw std::runtime_error("pipe");
    }
    pid_ = fork();
    if (pid_ < 0) {
        throw std::runtime_error("fork");
    }
    if (pid_ == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        std::vector<std::string> args = {binary, "serve", "--db", url, "--listen", "127.0.0.1:0"};
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execv(binary.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    // The first line names the port: "vnd-server: ... em 127.0.0.1:PORT (banco ...)".
    std::string line;
    char c = 0;
    while (line.size() < 4096 && read(out[0], &c, 1) == 1 && c != '\n') {
        line += c;
    }
    close(out[0]);
    const auto at = line.find("127.0.0.1:");
    if (at == std::string::npos) {
        kill();
        throw std::runtime_error("vnd-server did not start: " + line);
    }
    port_ = static_cast<unsigned short>(std::stoi(line.substr(at + 10)));
    // "..., métricas em 127.0.0.1:PORT)" with --metrics.
    const auto metrics = line.find("métricas em 127.0.0.1:");
    if (metrics != std::string::npos) {
        metricsPort_ = static_cast<unsigned short>(
            std::stoi(line.substr(metrics + std::string_view("métricas em 127.0.0.1:").size())));
    }
}

ServerProcess::~ServerProcess() {
    kill();
}

void ServerProcess::kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

int ServerProcess::stop(int signal, double wait) {
    if (pid_ <= 0) {
        return -1;
    }
    ::kill(pid_, signal);
    for (int i = 0; i < static_cast<int>(wait * 20); ++i) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            if (WIFEXITED(status)) {
                return WEXITSTATUS(status);
            }
            return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
        }
        usleep(50 * 1000);
    }
    kill();
    return -1;
}

}  // namespace reliability
