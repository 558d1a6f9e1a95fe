#pragma once
// The answer a monitor's health page gives at once, though asking may take seconds.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace server {

/// Whether something slow to ask answers (a database whose connect waits for its timeout
/// when it hangs). The question is asked on a thread of the probe's own, every interval,
/// from the first time anyone wants the answer while the probe is open; healthy() gives
/// the last answer and never waits. An answer older than maxAge (a question that hangs)
/// counts as no. Thread-safe; open() and close() are called from one thread at a time.
class HealthProbe {
public:
    using Check = std::function<bool()>;

    /// check: true when the thing answers; an exception counts as no.
    HealthProbe(Check check, std::chrono::milliseconds interval, std::chrono::milliseconds maxAge);
    /// close().
    ~HealthProbe();
    HealthProbe(const HealthProbe&) = delete;
    HealthProbe& operator=(const HealthProbe&) = delete;

    /// healthy() may be asked from now on; known is the answer known now (the server has
    /// just opened its database), which stands until the first question is answered.
    void open(bool known);
    /// No more questions: healthy() says no until open() again. Waits for a question
    /// under way.
    void close();
    /// The last answer, at once. The first call after open() starts the questions.
    bool healthy();

private:
    using Clock = std::chrono::steady_clock;
    void ask();

    const Check check_;
    const std::chrono::milliseconds interval_;
    const std::chrono::milliseconds maxAge_;
    std::mutex mutex_;
    std::condition_variable closing_;
    bool open_ = false;
    bool answer_ = false;
    Clock::time_point answeredAt_{};
    std::thread thread_;
};

}  // namespace server
