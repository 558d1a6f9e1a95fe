#include "protocol/Date.h"

#include <gtest/gtest.h>

namespace {

using wire::Date;

TEST(Date, IsoTextReadsOnlyExistingDatesInTheExactForm) {
    struct Case {
        const char* text;
        std::optional<Date> expected;
    };
    const Case cases[] = {
        {"2026-03-07", Date{2026, 3, 7}}, {"2024-02-29", Date{2024, 2, 29}},
        {"0001-01-01", Date{1, 1, 1}},     {"9999-12-31", Date{9999, 12, 31}},
        {"2023-02-29", std::nullopt},      {"1900-02-29", std::nullopt},
        {"2026-13-01", std::nullopt},      {"2026-00-10", std::nullopt},
        {"2026-04-31", std::nullopt},      {"0000-01-01", std::nullopt},
        {"2026-3-7", std::nullopt},        {"2026/03/07", std::nullopt},
        {" 2026-03-07", std::nullopt},     {"2026-03-07T00", std::nullopt},
        {"", std::nullopt},                {"+026-03-07", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Date::fromIso(c.text), c.expected) << c.text;
        if (c.expected) {
            EXPECT_EQ(c.expected->iso(), c.text);
        }
    }
}

TEST(Date, IsoTextOfAnyFieldsIsPrintfsForm) {
    const std::pair<Date, const char*> cases[] = {
        {Date{0, 0, 0}, "0000-00-00"},    {Date{7, 1, 2}, "0007-01-02"},
        {Date{12345, 1, 2}, "12345-01-02"}, {Date{-1, 1, 2}, "-001-01-02"},
        {Date{2026, 100, 2}, "2026-100-02"},
    };
    for (const auto& [date, text] : cases) {
        EXPECT_EQ(date.iso(), text);
    }
}

TEST(Date, DayNumbersFollowTheCalendarBothWays) {
    EXPECT_EQ((Date{1970, 1, 1}.daysSinceEpoch()), 0);
    EXPECT_EQ((Date{1899, 12, 30}.daysSinceEpoch()), -25569);  // the OLE zero
    EXPECT_EQ((Date{2000, 3, 1}.daysSinceEpoch() - Date{2000, 2, 28}.daysSinceEpoch()), 2);
    Date previous = Date::fromDaysSinceEpoch(Date{1, 1, 1}.daysSinceEpoch());
    EXPECT_EQ(previous, (Date{1, 1, 1}));
    // Every day of four centuries, and the ends of the range, come back as themselves and
    // follow each other.
    for (long d = Date{1899, 1, 1}.daysSinceEpoch() + 1; d <= Date{2300, 1, 1}.daysSinceEpoch();
         ++d) {
        const Date date = Date::fromDaysSinceEpoch(d);
        ASSERT_TRUE(date.valid()) << d;
        ASSERT_EQ(date.daysSinceEpoch(), d);
        ASSERT_LT(Date::fromDaysSinceEpoch(d - 1), date);
    }
    EXPECT_EQ(Date::fromDaysSinceEpoch(Date{9999, 12, 31}.daysSinceEpoch()), (Date{9999, 12, 31}));
}

TEST(Date, DaysInMonthKnowsLeapYears) {
    EXPECT_EQ(wire::daysInMonth(2024, 2), 29);
    EXPECT_EQ(wire::daysInMonth(2100, 2), 28);
    EXPECT_EQ(wire::daysInMonth(2000, 2), 29);
    EXPECT_EQ(wire::daysInMonth(2026, 13), 0);
}

}  // namespace
