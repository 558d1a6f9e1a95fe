#include "DemoServer.h"

#include <sqlite3.h>

#include <chrono>
#include <iostream>
#include <stdexcept>

#include "demodata/LocalDatabase.h"
#include "server/ops/Log.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"

namespace tools {

DemoServer::DemoServer(int products)
    : folder_("vnd-script"),
      localDatabase_(folder_.path() / "local.db"),
      serverFile_(folder_.path() / "server.db") {
    const std::string url = "sqlite:" + serverFile_.string();
    server::initDatabase(url, true, products);
    demo::writeLocalDatabase(localDatabase_.string(), products);
    serve(url);
}

DemoServer::DemoServer(const std::string& url, std::filesystem::path localDatabase)
    : folder_("vnd-script"), localDatabase_(std::move(localDatabase)) {
    if (url.starts_with("sqlite:")) {
        serverFile_ = url.substr(7);
    }
    serve(url);
}

const std::filesystem::path& DemoServer::serverFile() const {
    if (serverFile_.empty()) {
        throw std::runtime_error("this server command needs a SQLite database");
    }
    return serverFile_;
}

void DemoServer::serve(const std::string& url) {
    // The scenario's own lines are what a runner's user reads: the in-process server
    // says only what went wrong, not every call.
    static server::Log quiet(std::cerr, server::LogLevel::Warning);
    server::ServerOptions options;
    options.log = &quiet;
    // Port 0: the system picks a free port; later starts reuse it.
    server_ = std::make_unique<server::Server>(url, host() + ":0", options);
    server_->start();
}

// The holder lets go and the server stops (and closes its database) before the folder
// holding it is removed.
DemoServer::~DemoServer() {
    if (holder_.joinable()) holder_.join();
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

void DemoServer::holdStore(int milliseconds) {
    if (holder_.joinable()) holder_.join();
    sqlite3* db = nullptr;
    const std::string file = serverFile().string();
    if (sqlite3_open(file.c_str(), &db) != SQLITE_OK ||
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::string why = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw std::runtime_error("cannot hold the server's database: " + why);
    }
    // The lock is taken before this returns, so the next store surely meets it.
    holder_ = std::jthread([db, milliseconds] {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    });
}

void DemoServer::removeRulesOf(const std::string& product) {
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    const std::string file = serverFile().string();
    bool ok = sqlite3_open(file.c_str(), &db) == SQLITE_OK;
    sqlite3_busy_timeout(db, 5000);
    ok = ok && sqlite3_prepare_v2(db, "DELETE FROM PRECDIF WHERE CDPRODUTO = ?", -1, &statement, nullptr) == SQLITE_OK;
    ok = ok && sqlite3_bind_text(statement, 1, product.c_str(), -1, SQLITE_TRANSIENT) == SQLITE_OK;
    ok = ok && sqlite3_step(statement) == SQLITE_DONE;
    const std::string why = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_finalize(statement);
    sqlite3_close(db);
    if (!ok) throw std::runtime_error("cannot remove the rules of " + product + ": " + why);
}

long DemoServer::storedRules() {
    return server_->countRules();
}

}  // namespace tools
