#include "server/net/ConnectionManager.h"

#include "server/net/Connection.h"

namespace server {

void ConnectionManager::start(const std::shared_ptr<Connection>& connection) {
    {
        std::lock_guard lock(mutex_);
        connections_.insert(connection);
        pending_.emplace(connection, Clock::now());
    }
    connection->start();
}

void ConnectionManager::admitted(const std::shared_ptr<Connection>& connection) {
    std::lock_guard lock(mutex_);
    pending_.erase(connection);
}

void ConnectionManager::remove(const std::shared_ptr<Connection>& connection) {
    {
        std::lock_guard lock(mutex_);
        connections_.erase(connection);
        pending_.erase(connection);
    }
    connection->closeSocket();
}

void ConnectionManager::stopAll() {
    std::lock_guard lock(mutex_);
    for (const auto& connection : connections_) {
        connection->stop();
    }
}

void ConnectionManager::closeAll() {
    std::lock_guard lock(mutex_);
    for (const auto& connection : connections_) {
        connection->close();
    }
}

std::shared_ptr<Connection> ConnectionManager::takeOldestPending() {
    std::lock_guard lock(mutex_);
    // The cap on pending connections is small (tens): a scan costs nothing.
    auto oldest = pending_.end();
    for (auto it = pending_.begin(); it != pending_.end(); ++it) {
        if (oldest == pending_.end() || it->second < oldest->second) {
            oldest = it;
        }
    }
    if (oldest == pending_.end()) {
        return nullptr;
    }
    std::shared_ptr<Connection> taken = oldest->first;
    pending_.erase(oldest);
    return taken;
}

std::size_t ConnectionManager::pending() const {
    std::lock_guard lock(mutex_);
    return pending_.size();
}

std::size_t ConnectionManager::size() const {
    std::lock_guard lock(mutex_);
    return connections_.size();
}

}  // namespace server
