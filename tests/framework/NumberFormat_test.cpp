#include "text/NumberFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <ostream>

namespace {

using vol::NumberFormat;

struct FormatCase {
    double value;
    int decimals;
    char separator;
    const char* text;
};
std::ostream& operator<<(std::ostream& os, const FormatCase& c) {
    return os << c.value << " with " << c.decimals << " decimals";
}

class NumberFormatting : public testing::TestWithParam<FormatCase> {};

TEST_P(NumberFormatting, Text) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(NumberFormat::format(c.value, c.decimals, c.separator), c.text);
}

INSTANTIATE_TEST_SUITE_P(Values, NumberFormatting, testing::Values(
    FormatCase{10.5, 2, ',', "10,50"},
    FormatCase{0, 2, ',', "0,00"},
    FormatCase{-0.0, 2, ',', "0,00"},
    FormatCase{-0.001, 2, ',', "0,00"},        // rounds to zero: no sign
    FormatCase{-3.2, 2, ',', "-3,20"},
    FormatCase{1234567.891, 2, ',', "1234567,89"},  // never grouped
    FormatCase{0.125, 2, ',', "0,13"},         // half away from zero
    FormatCase{-0.125, 2, ',', "-0,13"},
    FormatCase{1.005, 2, ',', "1,01"},         // the decimal the user typed, not the binary
    FormatCase{2.675, 2, ',', "2,68"},
    FormatCase{9.995, 2, ',', "10,00"},        // carry into the whole part
    FormatCase{-99.999, 2, ',', "-100,00"},
    FormatCase{0.004, 2, ',', "0,00"},
    FormatCase{2.5, 0, ',', "3"},
    FormatCase{-2.5, 0, ',', "-3"},
    FormatCase{7.25, -1, ',', "7"},            // negative decimals count as none
    FormatCase{10.5, 2, '.', "10.50"},
    FormatCase{1e20, 2, ',', "100000000000000000000,00"},
    FormatCase{std::numeric_limits<double>::quiet_NaN(), 2, ',', ""},
    FormatCase{std::numeric_limits<double>::infinity(), 2, ',', ""}));

struct ParseCase {
    const char* text;
    char separator;
    std::optional<double> value;
};
std::ostream& operator<<(std::ostream& os, const ParseCase& c) { return os << '"' << c.text << '"'; }

class NumberParsing : public testing::TestWithParam<ParseCase> {};

TEST_P(NumberParsing, Value) {
    const ParseCase& c = GetParam();
    const std::optional<double> v = NumberFormat::parse(c.text, c.separator);
    ASSERT_EQ(v.has_value(), c.value.has_value());
    if (v) {
        EXPECT_DOUBLE_EQ(*v, *c.value);
        EXPECT_FALSE(std::signbit(*v) && *v == 0) << "negative zero";
    }
}

INSTANTIATE_TEST_SUITE_P(Accepted, NumberParsing, testing::Values(
    ParseCase{"10", ',', 10}, ParseCase{"10,5", ',', 10.5}, ParseCase{"10,50", ',', 10.5},
    ParseCase{"-3,2", ',', -3.2}, ParseCase{",5", ',', 0.5}, ParseCase{"10,", ',', 10},
    ParseCase{"  7,25 ", ',', 7.25}, ParseCase{"\t1\t", ',', 1}, ParseCase{"-0", ',', 0.0},
    ParseCase{"0,01", ',', 0.01}, ParseCase{"10.5", '.', 10.5}, ParseCase{"007", ',', 7}));

INSTANTIATE_TEST_SUITE_P(Refused, NumberParsing, testing::Values(
    ParseCase{"", ',', std::nullopt}, ParseCase{"   ", ',', std::nullopt},
    ParseCase{"1.234,50", ',', std::nullopt}, ParseCase{"1,2,3", ',', std::nullopt},
    ParseCase{"abc", ',', std::nullopt}, ParseCase{"1 0", ',', std::nullopt},
    ParseCase{"-", ',', std::nullopt}, ParseCase{",", ',', std::nullopt},
    ParseCase{"+1", ',', std::nullopt}, ParseCase{"--1", ',', std::nullopt},
    ParseCase{"1-", ',', std::nullopt}, ParseCase{"10,5", '.', std::nullopt},
    ParseCase{"1e5", ',', std::nullopt}, ParseCase{"R$ 10", ',', std::nullopt}));

TEST(NumberFormat, ParseReadsWhatFormatWrote) {
    for (double v : {0.0, 0.01, 0.5, 1.0, 10.5, 99.99, 100.0, -3.2, 123456.78}) {
        const auto back = NumberFormat::parse(NumberFormat::format(v, 2, ','), ',');
        ASSERT_TRUE(back.has_value()) << v;
        EXPECT_DOUBLE_EQ(*back, v);
    }
}

TEST(NumberFormat, ParseRefusesANumberTooLargeForADouble) {
    EXPECT_FALSE(NumberFormat::parse(std::string(400, '9'), ',').has_value());
}

struct KeyCase {
    const char* text;
    int caret;
    char key;
    int decimals;
    bool accepted;
};
std::ostream& operator<<(std::ostream& os, const KeyCase& c) {
    return os << '\'' << c.key << "' at " << c.caret << " in \"" << c.text << '"';
}

class NumberKeys : public testing::TestWithParam<KeyCase> {};

TEST_P(NumberKeys, Filter) {
    const KeyCase& c = GetParam();
    EXPECT_EQ(NumberFormat::acceptsKey(c.text, c.caret, c.key, ',', c.decimals), c.accepted);
}

INSTANTIATE_TEST_SUITE_P(Keys, NumberKeys, testing::Values(
    KeyCase{"", 0, '5', 2, true}, KeyCase{"", 0, 'a', 2, false}, KeyCase{"", 0, ' ', 2, false},
    KeyCase{"", 0, '.', 2, false},                     // not this edit's separator
    KeyCase{"", 0, ',', 2, true}, KeyCase{"10", 2, ',', 2, true},
    KeyCase{"10,5", 4, ',', 2, false},                 // a second separator
    KeyCase{"10,5", 1, ',', 2, false},
    KeyCase{"10", 2, ',', 0, false},                   // no decimals, no separator
    KeyCase{"", 0, '-', 2, true}, KeyCase{"10", 0, '-', 2, true},
    KeyCase{"10", 1, '-', 2, false}, KeyCase{"10", 2, '-', 2, false},
    KeyCase{"-10", 0, '-', 2, false}, KeyCase{"-10", 0, '1', 2, false},
    KeyCase{"10,5", 4, '0', 2, true}, KeyCase{"10,50", 5, '1', 2, false},
    KeyCase{"10,50", 0, '1', 2, true},                 // the whole part has no limit
    KeyCase{"10,50", 3, '1', 2, false},                // pushes a third decimal
    KeyCase{"10", 99, '5', 2, true}, KeyCase{"10", -4, '5', 2, true}));  // caret clamped

}  // namespace
