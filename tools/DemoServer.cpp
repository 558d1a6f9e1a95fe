#include "DemoServer.h"

#include "demodata/LocalDatabase.h"
#include "server/Server.h"

namespace tools {

DemoServer::DemoServer(int products)
    : folder_("vnd-script"), localDatabase_(folder_.path() / "local.db") {
    const std::string url = "sqlite:" + (folder_.path() / "server.db").string();
    server::initDatabase(url, true, products);
    demo::writeLocalDatabase(localDatabase_.string(), products);
    // Port 0: the system picks a free port; later starts reuse it.
    server_ = std::make_unique<server::Server>(url, host() + ":0");
    server_->start();
}

// The server stops (and closes its database) before the folder holding it is removed.
DemoServer::~DemoServer() {
    server_.reset();
}

unsigned short DemoServer::port() const {
    return server_->port();
}

void DemoServer::stop() {
    server_->stop();
}

void DemoServer::start() {
    server_->start();
}

void DemoServer::failNext(const std::string& method, const std::string& message) {
    server_->failNext(method, message);
}

long DemoServer::storedRules() {
    return server_->countRules();
}

}  // namespace tools
