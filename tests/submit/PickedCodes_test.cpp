#include "submit/PickedCodes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Case {
    const char* text;
    std::vector<std::string> codes;
};

class PickedCodesTest : public ::testing::TestWithParam<Case> {};

TEST_P(PickedCodesTest, ReadsTheCodesAfterEachUnderscore) {
    EXPECT_EQ(vnd::parsePickedCodes(GetParam().text), GetParam().codes);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PickedCodesTest,
    ::testing::Values(Case{"_0000000001_0000000002_", {"0000000001", "0000000002"}},
                      Case{"_0000000001_0000000002", {"0000000001", "0000000002"}},
                      Case{"AB_0000000001_", {"0000000001"}},
                      Case{"_12_0000000002_", {"12_0000000"}},  // the code is the 10 characters, whatever they hold
                      Case{"_", {}}, Case{"", {}}, Case{"ABCDEFGHIJKLMNOP", {}},
                      Case{"_0000000001_00002", {"0000000001", "00002"}},  // a short last code
                      Case{"_0000000001__", {"0000000001", "_"}}));

TEST(PickedCodes, ReadsTheListAsTheListDialogWritesIt) {
    std::string text;
    std::vector<std::string> expected;
    for (int i = 1; i <= 100000; ++i) {
        std::string code = std::to_string(i);
        code.insert(0, 10 - code.size(), '0');
        text += "_" + code;
        expected.push_back(code);
    }
    text += "_";
    EXPECT_EQ(vnd::parsePickedCodes(text), expected);
}

}  // namespace
