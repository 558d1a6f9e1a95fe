#include "CallRecorder.h"

#include <gtest/gtest.h>

#include <ostream>

namespace tools {
namespace {

struct ArgCase {
    const char* method;  ///< as the scenario names it
    std::size_t position;
    const char* expected;  ///< the scenario's JSON text
    const char* reason;    ///< part of the mismatch, or nullptr for a match
};

void PrintTo(const ArgCase& c, std::ostream* os) {
    *os << c.method << " " << c.position << " " << c.expected;
}

class CallRecorderTest : public testing::TestWithParam<ArgCase> {
  protected:
    void SetUp() override {
        recorder.record("Vnd42400.rdmTabePreco.SetPrecDif",
                        R"([true, false, "0001", {"$date":"2026-07-01"}, 10.0, null, 1])");
        recorder.record("GetTabePrec", R"(["0002"])");
        // A later call of a method replaces the earlier one.
        recorder.record("Vnd42400.rdmTabePreco.GetTabePrec", R"(["0001"])");
    }
    CallRecorder recorder;
};

TEST_P(CallRecorderTest, ComparesAnArgumentOfTheLastCallAsJson) {
    const ArgCase& c = GetParam();
    std::optional<std::string> reason = recorder.mismatch(c.method, c.position, c.expected);
    if (c.reason == nullptr) {
        EXPECT_EQ(reason, std::nullopt);
    } else {
        ASSERT_TRUE(reason.has_value());
        EXPECT_NE(reason->find(c.reason), std::string::npos) << *reason;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CallRecorderTest,
    testing::Values(
        // Short and full method names name the same method, whichever form was recorded.
        ArgCase{"SetPrecDif", 3, R"("0001")", nullptr},
        ArgCase{"Vnd42400.rdmTabePreco.SetPrecDif", 3, R"("0001")", nullptr},
        ArgCase{"GetTabePrec", 1, R"("0001")", nullptr},
        ArgCase{"GetTabePrec", 1, R"("0002")",
                R"(argument 1 of GetTabePrec was "0001", not "0002")"},
        // Values, not spelling: spacing and 10 against 10.0 do not matter; types do.
        ArgCase{"SetPrecDif", 4, R"({ "$date" : "2026-07-01" })", nullptr},
        ArgCase{"SetPrecDif", 5, "10", nullptr}, ArgCase{"SetPrecDif", 6, "null", nullptr},
        ArgCase{"SetPrecDif", 1, "true", nullptr}, ArgCase{"SetPrecDif", 1, "1", "was true, not 1"},
        ArgCase{"SetPrecDif", 7, "true", "was 1, not true"},
        ArgCase{"SetPrecDif", 3, "1", "was \"0001\", not 1"},
        // A code written without its JSON quotes is not JSON (a leading zero): said so.
        ArgCase{"SetPrecDif", 3, "0001", "not JSON"},
        ArgCase{"SetPrecDif", 8, "null", "called with 7 arguments, not 8"},
        ArgCase{"SetPrecDif", 3, "'0001'", "not JSON"},
        ArgCase{"getVigencia", 1, "0", "no call of getVigencia was made"},
        // Method names keep their letter case.
        ArgCase{"setprecdif", 1, "true", "no call of setprecdif"}));

TEST(CallRecorderShortNameTest, TakesWhatFollowsTheLastDot) {
    EXPECT_EQ(CallRecorder::shortName("Vnd42400.rdmTabePreco.getVigencia"), "getVigencia");
    EXPECT_EQ(CallRecorder::shortName("GetFilial"), "GetFilial");
}

}  // namespace
}  // namespace tools
