#include "protocol/DatePattern.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace wire {
// Failure messages show dates as "2026-03-07".
inline void PrintTo(const Date& d, std::ostream* os) { *os << d.iso(); }
}  // namespace wire

namespace {

using wire::Date;
using wire::DatePattern;

// Every day of 1999..2031 (every month length, 2000 a leap year by the 400 rule), and the days
// where month and year change in every other year of the pattern's range.
std::vector<Date> roundTripDates(int firstYear, int lastYear) {
    std::vector<Date> dates;
    for (int y = firstYear; y <= lastYear; ++y) {
        if (y >= 1999 && y <= 2031) {
            for (int m = 1; m <= 12; ++m)
                for (int d = 1; d <= wire::daysInMonth(y, m); ++d) dates.push_back({y, m, d});
        } else {
            for (const Date& d : {Date{y, 1, 1}, Date{y, 2, wire::daysInMonth(y, 2)}, Date{y, 3, 1},
                                  Date{y, 9, 30}, Date{y, 10, 1}, Date{y, 12, 31}})
                dates.push_back(d);
        }
    }
    return dates;
}

// The server writes with the client's pattern and the client reads back with it: every
// date must come back as itself, or a period's dates would shift on the way.
class DatePatternRoundTrip : public testing::TestWithParam<const char*> {};

TEST_P(DatePatternRoundTrip, EveryDateReadsBackAsItself) {
    const DatePattern p(GetParam());
    const bool shortYear = std::string(GetParam()).find("yyyy") == std::string::npos;
    long failures = 0;
    for (const Date& d : shortYear ? roundTripDates(2000, 2099) : roundTripDates(1, 9999)) {
        const std::optional<Date> back = p.parse(p.format(d));
        if (back != d && ++failures <= 5)
            ADD_FAILURE() << d.iso() << " wrote \"" << p.format(d) << "\" read " << testing::PrintToString(back);
    }
    EXPECT_EQ(failures, 0);
}

INSTANTIATE_TEST_SUITE_P(Patterns, DatePatternRoundTrip,
                         testing::Values("dd/mm/yyyy", "d/m/yyyy", "yyyy-mm-dd", "mm/dd/yyyy", "dd.mm.yy",
                                         "DD/MM/YYYY", "yyyymmdd", "m/d/yy"));

struct FormatCase {
    const char* pattern;
    Date date;
    const char* text;
};
std::ostream& operator<<(std::ostream& os, const FormatCase& c) { return os << c.pattern << ' ' << c.date.iso(); }

class DatePatternFormat : public testing::TestWithParam<FormatCase> {};

TEST_P(DatePatternFormat, Text) {
    EXPECT_EQ(DatePattern(GetParam().pattern).format(GetParam().date), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Patterns, DatePatternFormat, testing::Values(
    FormatCase{"dd/mm/yyyy", {2026, 3, 7}, "07/03/2026"},
    FormatCase{"d/m/yyyy", {2026, 3, 7}, "7/3/2026"},
    FormatCase{"d/m/yyyy", {2026, 12, 31}, "31/12/2026"},
    FormatCase{"yyyy-mm-dd", {2026, 3, 7}, "2026-03-07"},
    FormatCase{"mm/dd/yyyy", {2026, 3, 7}, "03/07/2026"},
    FormatCase{"dd.mm.yy", {2026, 3, 7}, "07.03.26"},
    FormatCase{"dd.mm.yy", {2000, 1, 1}, "01.01.00"},
    FormatCase{"dd/mm/yyyy", {1, 1, 1}, "01/01/0001"}));

struct ParseCase {
    const char* pattern;
    const char* text;
    std::optional<Date> date;
};
std::ostream& operator<<(std::ostream& os, const ParseCase& c) { return os << c.pattern << " \"" << c.text << '"'; }

class DatePatternParse : public testing::TestWithParam<ParseCase> {};

TEST_P(DatePatternParse, Date) {
    EXPECT_EQ(DatePattern(GetParam().pattern).parse(GetParam().text), GetParam().date);
}

INSTANTIATE_TEST_SUITE_P(Patterns, DatePatternParse, testing::Values(
    ParseCase{"dd/mm/yyyy", "29/02/2024", Date{2024, 2, 29}},
    ParseCase{"dd/mm/yyyy", "29/02/2026", std::nullopt},   // not a leap year
    ParseCase{"dd/mm/yyyy", "29/02/1900", std::nullopt},
    ParseCase{"dd/mm/yyyy", "29/02/2000", Date{2000, 2, 29}},
    ParseCase{"dd/mm/yyyy", "31/04/2026", std::nullopt},
    ParseCase{"dd/mm/yyyy", "00/01/2026", std::nullopt},
    ParseCase{"dd/mm/yyyy", "01/13/2026", std::nullopt},
    ParseCase{"dd/mm/yyyy", "01/01/0000", std::nullopt},
    ParseCase{"dd/mm/yyyy", "7/3/2026", std::nullopt},     // "dd" takes exactly two digits
    ParseCase{"dd/mm/yyyy", "07/03/26", std::nullopt},
    ParseCase{"dd/mm/yyyy", "07/03/20261", std::nullopt},  // trailing text
    ParseCase{"dd/mm/yyyy", "07-03-2026", std::nullopt},
    ParseCase{"dd/mm/yyyy", " 07/03/2026", std::nullopt},
    ParseCase{"dd/mm/yyyy", "", std::nullopt},
    ParseCase{"dd/mm/yyyy", "07/03/", std::nullopt},
    ParseCase{"d/m/yyyy", "07/03/2026", Date{2026, 3, 7}},
    ParseCase{"d/m/yyyy", "123/3/2026", std::nullopt},
    ParseCase{"dd.mm.yy", "31.12.99", Date{2099, 12, 31}},
    ParseCase{"dd.mm.yy", "01.01.00", Date{2000, 1, 1}},
    ParseCase{"dd.mm.yy", "1.01.00", std::nullopt},
    ParseCase{"yyyymmdd", "20260307", Date{2026, 3, 7}},
    ParseCase{"yyyy-mm-dd", "2026-3-07", std::nullopt}));

TEST(DatePattern, RefusesPatternsThatCannotBeReadBack) {
    for (const char* bad : {"", "dd/mm", "mm/yyyy", "dd/yyyy", "ddd/mm/yyyy", "dd/mmm/yyyy", "dd/mm/yyy",
                            "dd/mm/y", "dd/mm/yyyyy", "dd/mm/yyyy hh", "dd/mm/yyyy/dd", "dmyyyy", "d/myyyy",
                            "d0m/yy", "dd/mm/yyyy                        x"})
        EXPECT_THROW(DatePattern{bad}, std::invalid_argument) << '"' << bad << '"';
}

TEST(DatePattern, FormatRefusesADateThatDoesNotExist) {
    const DatePattern p("dd/mm/yyyy");
    for (const Date& bad : {Date{2026, 2, 29}, Date{2026, 13, 1}, Date{0, 1, 1}, Date{10000, 1, 1}, Date{2026, 1, 0}})
        EXPECT_THROW((void)p.format(bad), std::invalid_argument) << bad.iso();
}

}  // namespace
