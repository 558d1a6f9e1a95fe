#pragma once
// A stand-in for the server's side of the sync: a loopback JSON-RPC listener that answers
// GetDadosPreco from a server database (SQLite) and GetAlteracoes from a list the test
// writes, and that can be taken down and brought back on the same port.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

namespace tilltest {

/// A row of the change log as GetAlteracoes lists it; product "" for every product.
struct Change {
    long long number;
    char kind;
    std::string product;
};
/// An answer of GetAlteracoes.
nlohmann::json changes(long long ate, bool resynchronize, const std::vector<Change>& rows);

class PriceSource {
public:
    /// dbPath: the server's SQLite file. pageCap: the most products one page holds.
    PriceSource(std::string dbPath, long pageCap);
    ~PriceSource();

    void start();  ///< listens (on the same port after a stop)
    void stop();   ///< closes the listener and the connection
    int port() const { return port_; }

    /// What GetAlteracoes answers next (once; then the empty list at `ate`).
    void script(nlohmann::json answer);
    /// The change number GetDadosPreco answers with, and GetAlteracoes when idle.
    std::atomic<long long> ate{1};
    /// GetDadosPreco calls answered so far; the call with this number closes the link.
    std::atomic<int> pagesServed{0};
    std::atomic<int> failOnPage{0};

private:
    nlohmann::json answer(const std::string& method, const nlohmann::json& params);
    nlohmann::json page(const nlohmann::json& params);
    void accept();
    void serve();

    std::string dbPath_;
    long pageCap_;
    int port_ = 0;
    std::mutex mutex_;
    std::vector<nlohmann::json> scripted_;
    struct Net;
    std::unique_ptr<Net> net_;
    std::thread thread_;
};

}  // namespace tilltest
