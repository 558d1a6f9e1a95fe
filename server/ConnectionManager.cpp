#include "ConnectionManager.h"

#include "Connection.h"

namespace server {

void ConnectionManager::start(const std::shared_ptr<Connection>& connection) {
    {
        std::lock_guard lock(mutex_);
        connections_.insert(connection);
    }
    connection->start();
}

void ConnectionManager::remove(const std::shared_ptr<Connection>& connection) {
    {
        std::lock_guard lock(mutex_);
        connections_.erase(connection);
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

std::size_t ConnectionManager::size() const {
    std::lock_guard lock(mutex_);
    return connections_.size();
}

}  // namespace server
