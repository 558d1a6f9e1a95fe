#pragma once
// The demo environment of a scenario: an application server in this process over a fresh
// demo database, and a fresh local database beside it.

#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "TempDirectory.h"

namespace server {
class Server;
}

namespace tools {

/// Makes a temporary folder with a demo server database and a demo local database, and
/// serves the first on a free loopback port. Everything is removed when destroyed.
class DemoServer {
  public:
    /// Builds both databases with `products` products and starts the server. Throws
    /// std::runtime_error (or the server's own error) when any step fails.
    explicit DemoServer(int products);
    /// Serves the existing database at url as it is (what the scenario stores stays in
    /// it) beside the existing local database. `server hold-store` and `server
    /// remove-product` need a SQLite one.
    DemoServer(const std::string& url, std::filesystem::path localDatabase);
    ~DemoServer();
    DemoServer(const DemoServer&) = delete;
    DemoServer& operator=(const DemoServer&) = delete;

    std::string host() const { return "127.0.0.1"; }
    unsigned short port() const;
    const std::filesystem::path& localDatabase() const { return localDatabase_; }

    /// Stops serving; the stored data is kept.
    void stop();
    /// Serves again, on the same port.
    void start();
    /// The next call of method (short name) is answered with this error message.
    void failNext(const std::string& method, const std::string& message);
    /// Another writer holds the server's database for the next `milliseconds`: a store
    /// arriving meanwhile waits for it (the server's busy wait), then goes on. Throws
    /// std::runtime_error when the database cannot be held.
    void holdStore(int milliseconds);
    /// Another user removes every stored rule of the product (CDPRODUTO) through a
    /// connection of their own to the server's database. Throws std::runtime_error when
    /// the database refuses.
    void removeRulesOf(const std::string& product);
    /// Rows in the PRECDIF table.
    long storedRules();

  private:
    void serve(const std::string& url);
    /// The server's SQLite file, for the commands that reach it directly; throws when the
    /// database is no SQLite file.
    const std::filesystem::path& serverFile() const;

    TempDirectory folder_;
    std::filesystem::path localDatabase_;
    std::filesystem::path serverFile_;
    std::unique_ptr<server::Server> server_;
    std::jthread holder_;
};

}  // namespace tools
