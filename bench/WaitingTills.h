#pragma once
// Many tills following one server from one thread: each a plain loopback connection
// asking GetAlteracoes with a long wait, again and again.

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bench {

/// What the tills do with an answer that names changes.
enum class TillMode {
    Wait,    ///< only ask again, from the answer's `ate`
    Follow,  ///< first fetch each named product with GetDadosPreco, as a till does
};

/// `count` connections to 127.0.0.1:port, each following branch 0001, table 001 from
/// change `since`, driven by one thread (poll) until the object goes.
class WaitingTills {
  public:
    WaitingTills(unsigned short port, int count, long long since, TillMode mode,
                 long waitMs = 25000);
    ~WaitingTills();
    WaitingTills(const WaitingTills&) = delete;
    WaitingTills& operator=(const WaitingTills&) = delete;

    /// When some till had brought change `number` home (its data fetched in Follow
    /// mode, its answer read in Wait mode), every such moment so far.
    struct Arrival {
        long long number;
        std::chrono::steady_clock::time_point at;
    };
    std::vector<Arrival> arrivals();
    /// Answers that were errors or connections that broke; the first one's text.
    long failures() const { return failures_; }
    std::string firstFailure();

  private:
    struct Till;
    void run();
    void send(Till& till);
    void answered(Till& till, const std::string& line);

    unsigned short port_;
    long long since_;
    TillMode mode_;
    long waitMs_;
    std::vector<std::unique_ptr<Till>> tills_;
    std::atomic<bool> stop_{false};
    std::atomic<long> failures_{0};
    std::mutex mutex_;
    std::vector<Arrival> arrivals_;
    std::string firstFailure_;
    std::thread thread_;
};

}  // namespace bench
