#pragma once
// The floor of a lookup: a loopback server that answers each line with a fixed reply.

#include <memory>
#include <string>

namespace bench {

/// Listens on a free loopback port in a thread of its own; for every line a client sends
/// it writes `reply` (which ends with a line break). Plain blocking sockets, one client.
class EchoServer {
  public:
    explicit EchoServer(std::string reply);
    ~EchoServer();
    EchoServer(const EchoServer&) = delete;
    EchoServer& operator=(const EchoServer&) = delete;
    unsigned short port() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

/// A blocking loopback client of the echo server: one request line, one reply line.
class EchoClient {
  public:
    explicit EchoClient(unsigned short port);
    ~EchoClient();
    EchoClient(const EchoClient&) = delete;
    EchoClient& operator=(const EchoClient&) = delete;
    /// Sends the line (ending with a line break) and waits for the reply; its size.
    std::size_t roundTrip(const std::string& line);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace bench
