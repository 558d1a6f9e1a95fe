#pragma once
// Owns the open connections so that the server can end them all.

#include <cstddef>
#include <memory>
#include <mutex>
#include <chrono>
#include <map>
#include <set>

namespace server {

class Connection;

/// The set of live connections. Thread-safe.
class ConnectionManager {
public:
    /// Adds and starts a connection; it counts as not yet logged in until admitted.
    void start(const std::shared_ptr<Connection>& connection);
    /// The connection's peer has logged in.
    void admitted(const std::shared_ptr<Connection>& connection);
    /// Removes a connection and closes its socket (call from its thread).
    void remove(const std::shared_ptr<Connection>& connection);
    /// Asks every connection to end after the answer it is writing.
    void stopAll();
    /// Ends every connection at once.
    void closeAll();
    std::size_t size() const;
    /// Connections whose peer has not logged in yet.
    std::size_t pending() const;
    /// The connection that has waited longest without logging in, no longer counted as
    /// pending (the caller ends it); null when there is none.
    std::shared_ptr<Connection> takeOldestPending();

private:
    using Clock = std::chrono::steady_clock;
    mutable std::mutex mutex_;
    std::set<std::shared_ptr<Connection>> connections_;
    std::map<std::shared_ptr<Connection>, Clock::time_point> pending_;  // with its start
};

}  // namespace server
