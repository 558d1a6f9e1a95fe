#pragma once
// Owns the open connections so that the server can end them all.

#include <cstddef>
#include <memory>
#include <mutex>
#include <set>

namespace server {

class Connection;

/// The set of live connections. Thread-safe.
class ConnectionManager {
public:
    /// Adds and starts a connection.
    void start(const std::shared_ptr<Connection>& connection);
    /// Removes a connection and closes its socket (call from its thread).
    void remove(const std::shared_ptr<Connection>& connection);
    /// Asks every connection to end after the answer it is writing.
    void stopAll();
    /// Ends every connection at once.
    void closeAll();
    std::size_t size() const;

private:
    mutable std::mutex mutex_;
    std::set<std::shared_ptr<Connection>> connections_;
};

}  // namespace server
