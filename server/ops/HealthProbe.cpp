#include "server/ops/HealthProbe.h"

#include <system_error>

namespace server {

HealthProbe::HealthProbe(Check check, std::chrono::milliseconds interval,
                         std::chrono::milliseconds maxAge)
    : check_(std::move(check)), interval_(interval), maxAge_(maxAge) {}

HealthProbe::~HealthProbe() {
    close();
}

void HealthProbe::open(std::string known) {
    std::lock_guard lock(mutex_);
    open_ = true;
    answer_ = std::move(known);
    answeredAt_ = Clock::now();
}

void HealthProbe::close() {
    std::thread asking;
    {
        std::lock_guard lock(mutex_);
        open_ = false;
        asking = std::move(thread_);
    }
    closing_.notify_all();
    if (asking.joinable()) {
        asking.join();
    }
}

std::string HealthProbe::problem() {
    std::lock_guard lock(mutex_);
    if (!open_) {
        return std::string(kDatabaseUnavailable);
    }
    if (!thread_.joinable()) {
        // Nobody asked before: the answer known at open() is taken as of now, so that a
        // monitor that starts late does not find it stale before the first question.
        answeredAt_ = Clock::now();
        try {
            thread_ = std::thread([this] { ask(); });
        } catch (const std::system_error&) {
            // No thread to be had: the known answer stands, and the next call tries again.
        }
    }
    return Clock::now() - answeredAt_ <= maxAge_ ? answer_ : std::string(kDatabaseUnavailable);
}

void HealthProbe::ask() {
    std::unique_lock lock(mutex_);
    while (open_) {
        lock.unlock();
        std::string answers(kDatabaseUnavailable);
        try {
            answers = check_();
        } catch (...) {
            answers = kDatabaseUnavailable;
        }
        lock.lock();
        if (!open_) {
            break;
        }
        answer_ = std::move(answers);
        answeredAt_ = Clock::now();
        closing_.wait_for(lock, interval_, [this] { return !open_; });
    }
}

}  // namespace server
