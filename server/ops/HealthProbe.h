#pragma once
// The answer a monitor's health page gives at once, though asking may take seconds.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace server {

/// What a health page says of a database that does not answer.
inline constexpr std::string_view kDatabaseUnavailable = "database unavailable";

/// What is wrong with something slow to ask (a database whose connect waits for its
/// timeout when it hangs), if anything. The question is asked on a thread of the probe's
/// own, every interval, from the first time anyone wants the answer while the probe is
/// open; problem() gives the last answer and never waits. An answer older than maxAge (a
/// question that hangs) counts as kDatabaseUnavailable. Thread-safe; open() and close()
/// are called from one thread at a time.
class HealthProbe {
public:
    /// What is wrong now, one line per fault; empty when nothing is.
    using Check = std::function<std::string()>;

    /// check: what is wrong; an exception counts as kDatabaseUnavailable.
    HealthProbe(Check check, std::chrono::milliseconds interval, std::chrono::milliseconds maxAge);
    /// close().
    ~HealthProbe();
    HealthProbe(const HealthProbe&) = delete;
    HealthProbe& operator=(const HealthProbe&) = delete;

    /// problem() may be asked from now on; known is the answer known now (the server has
    /// just opened its database), which stands until the first question is answered.
    void open(std::string known);
    /// No more questions: problem() says kDatabaseUnavailable until open() again. Waits
    /// for a question under way.
    void close();
    /// The last answer, at once: empty when nothing is wrong. The first call after open()
    /// starts the questions.
    std::string problem();

private:
    using Clock = std::chrono::steady_clock;
    void ask();

    const Check check_;
    const std::chrono::milliseconds interval_;
    const std::chrono::milliseconds maxAge_;
    std::mutex mutex_;
    std::condition_variable closing_;
    bool open_ = false;
    std::string answer_{kDatabaseUnavailable};
    Clock::time_point answeredAt_{};
    std::thread thread_;
};

}  // namespace server
