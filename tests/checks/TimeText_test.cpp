#include "checks/TimeText.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* text;
    bool time;
};

class TimeTextTest : public ::testing::TestWithParam<Case> {};

TEST_P(TimeTextTest, AcceptsOnlyTimesOfDay) { EXPECT_EQ(vnd::isTimeOfDay(GetParam().text), GetParam().time); }

INSTANTIATE_TEST_SUITE_P(Texts, TimeTextTest,
                         ::testing::Values(Case{"00:00", true}, Case{"00:01", true}, Case{"23:59", true},
                                           Case{"08:30", true}, Case{"24:00", false}, Case{"12:60", false},
                                           Case{"25:61", false}, Case{"1 :30", false},  // a blank in a digit place
                                           Case{" 8:30", false}, Case{"08:3 ", false}, Case{"  :  ", false},
                                           Case{"0830", false}, Case{"08-30", false}, Case{"", false}));

}  // namespace
