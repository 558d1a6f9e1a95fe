#pragma once
// vnd-server serving in a process of its own, for figures taken from the outside (its
// memory and threads as /proc shows them).

#include <string>
#include <vector>

namespace bench {

/// Starts `vnd-server serve --db URL --listen 127.0.0.1:0` (the program beside this one)
/// with the extra options given, and waits until it listens; stops it (SIGTERM) when the
/// object goes. Throws std::runtime_error with the server's log when it does not start.
class ServerProcess {
  public:
    ServerProcess(const std::string& url, const std::string& logFile,
                  const std::vector<std::string>& options = {});
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    long pid() const { return pid_; }
    unsigned short port() const { return port_; }

  private:
    long pid_ = 0;
    unsigned short port_ = 0;
};

}  // namespace bench
