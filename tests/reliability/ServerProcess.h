#pragma once
// A vnd-server child process that a test can kill at any moment.

#include <string>
#include <vector>

#include <sys/types.h>

namespace reliability {

/// Runs `vnd-server serve --db URL --listen 127.0.0.1:0` and learns its port from the
/// line it prints. The destructor kills it (SIGKILL) if it still runs.
class ServerProcess {
public:
    ServerProcess(const std::string& binary, const std::string& url,
                  const std::vector<std::string>& extra = {});
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    unsigned short port() const { return port_; }
    /// The port of /metrics and /healthz (0 when not served: no --metrics).
    unsigned short metricsPort() const { return metricsPort_; }
    /// SIGKILL, then reaps the process: no handler, no flush, no clean shutdown.
    void kill();
    /// Sends the signal and waits up to ten seconds (or wait) for the process to end.
    /// Returns its exit code, 128 + the signal that ended it, or -1 when it was still
    /// running (it is then killed).
    int stop(int signal, double wait = 10);

private:
    pid_t pid_ = -1;
    unsigned short port_ = 0;
    unsigned short metricsPort_ = 0;
};

}  // namespace reliability
