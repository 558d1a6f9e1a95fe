// The login lockout: how many failures lock an address, for how long, and what frees it.

#include <gtest/gtest.h>

#include "server/rpc/AuthThrottle.h"

namespace {

using server::AuthThrottle;
using std::chrono::seconds;

struct Attempt {
    const char* address;
    int at;            // seconds from the start
    bool fails;        // a failed login (else one that succeeded)
    int waitAfter;     // what wait() then tells that address, in seconds
};

struct ThrottleCase {
    const char* name;
    std::vector<Attempt> attempts;
};

class Throttle : public testing::TestWithParam<ThrottleCase> {};

// Three failures within ten seconds lock an address for thirty.
TEST_P(Throttle, LocksOutAfterTheFailuresOfOneWindow) {
    AuthThrottle throttle(3, seconds(10), seconds(30));
    const auto start = AuthThrottle::Clock::time_point{} + seconds(1000);
    int step = 0;
    for (const Attempt& a : GetParam().attempts) {
        const auto now = start + seconds(a.at);
        if (a.fails) {
            throttle.failed(a.address, now);
        } else {
            throttle.succeeded(a.address);
        }
        EXPECT_EQ(throttle.wait(a.address, now).count(), a.waitAfter) << "step " << step;
        ++step;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Throttle,
    testing::Values(
        ThrottleCase{"third_failure_locks", {{"a", 0, true, 0}, {"a", 1, true, 0}, {"a", 2, true, 30}}},
        ThrottleCase{"failures_spread_over_windows_never_lock",
                     {{"a", 0, true, 0}, {"a", 5, true, 0}, {"a", 16, true, 0}, {"a", 20, true, 0}}},
        ThrottleCase{"addresses_are_counted_apart",
                     {{"a", 0, true, 0}, {"b", 0, true, 0}, {"a", 1, true, 0}, {"b", 1, true, 0}}},
        ThrottleCase{"a_success_forgets_the_failures",
                     {{"a", 0, true, 0}, {"a", 1, true, 0}, {"a", 2, false, 0}, {"a", 3, true, 0}}},
        ThrottleCase{"the_lockout_ends_and_counting_starts_again",
                     {{"a", 0, true, 0}, {"a", 0, true, 0}, {"a", 0, true, 30},
                      {"a", 30, true, 0}, {"a", 31, true, 0}, {"a", 32, true, 30}}}),
    [](const testing::TestParamInfo<ThrottleCase>& p) { return p.param.name; });

TEST(Throttle, WaitIsRoundedUpWhileLocked) {
    AuthThrottle throttle(1, seconds(10), seconds(5));
    const auto t = AuthThrottle::Clock::time_point{} + seconds(100);
    throttle.failed("a", t);
    EXPECT_EQ(throttle.wait("a", t + std::chrono::milliseconds(4100)).count(), 1);
    EXPECT_EQ(throttle.wait("a", t + seconds(5)).count(), 0);
}

// A flood of addresses makes it forget the oldest, not the address just locked.
TEST(Throttle, RemembersABoundedNumberOfAddresses) {
    AuthThrottle throttle(2, seconds(60), seconds(60), 100);
    const auto t = AuthThrottle::Clock::time_point{} + seconds(100);
    for (int i = 0; i < 10000; ++i) {
        throttle.failed("10.0." + std::to_string(i), t + std::chrono::milliseconds(i));
    }
    const auto later = t + seconds(11);
    throttle.failed("attacker", later);
    throttle.failed("attacker", later);
    EXPECT_GT(throttle.wait("attacker", later).count(), 0);
    int remembered = 0;
    for (int i = 0; i < 10000; ++i) {
        throttle.failed("10.0." + std::to_string(i), later);  // one failure of two: no lock
        remembered += throttle.wait("10.0." + std::to_string(i), later).count() > 0;
    }
    EXPECT_LE(remembered, 100);  // more would mean more than 100 addresses remembered
}

}  // namespace
