// The facts of a day for a branch, and the validity period in force on a date.

#include <vector>

#include <gtest/gtest.h>

#include "server/pricing/DayFacts.h"
#include "server/pricing/PeriodChoice.h"

namespace {

using server::Holiday;

wire::Date day(const char* iso) {
    return *wire::Date::fromIso(iso);
}

TEST(DayFacts, CountsWeekdaysFromSunday) {
    EXPECT_EQ(server::weekdayOf(day("2026-04-19")), 1);  // a Sunday
    EXPECT_EQ(server::weekdayOf(day("2026-04-21")), 3);
    EXPECT_EQ(server::weekdayOf(day("2026-04-25")), 7);
    EXPECT_EQ(server::weekdayOf(day("1970-01-01")), 5);
    EXPECT_EQ(server::weekdayOf(day("1969-12-31")), 4);
}

TEST(DayFacts, FindsHolidaysAndEvesOfTheBranchOrOfEveryBranch) {
    // Listed out of order, with another branch's day and the branch's own name after the
    // every-branch one of the same date.
    const std::vector<Holiday> holidays = {
        {"T", day("2026-02-17"), "Carnaval"},
        {"0002", day("2026-03-19"), "São José"},
        {"T", day("2026-01-25"), "Feriado geral"},
        {"T", day("2026-02-16"), "Carnaval"},
        {"0001", day("2026-01-25"), "Aniversário da Cidade"},
    };
    struct Case {
        const char* date;
        const char* branch;
        int weekday;
        std::optional<std::string> holiday;
        std::optional<std::string> eve;
    } const cases[] = {
        {"2026-02-16", "0001", 2, "Carnaval", "Carnaval"},  // a holiday and an eve at once
        {"2026-02-15", "0001", 1, std::nullopt, "Carnaval"},
        {"2026-02-17", "0001", 3, "Carnaval", std::nullopt},
        {"2026-01-25", "0001", 1, "Aniversário da Cidade", std::nullopt},
        {"2026-01-24", "0001", 7, std::nullopt, "Aniversário da Cidade"},
        {"2026-01-25", "0003", 1, "Feriado geral", std::nullopt},
        {"2026-03-18", "0001", 4, std::nullopt, std::nullopt},
        {"2026-03-18", "0002", 4, std::nullopt, "São José"},
    };
    for (const Case& c : cases) {
        const auto facts = server::dayFactsFor(day(c.date), c.branch, holidays);
        EXPECT_EQ(facts.weekday, c.weekday) << c.date << ' ' << c.branch;
        EXPECT_EQ(facts.holiday, c.holiday) << c.date << ' ' << c.branch;
        EXPECT_EQ(facts.eve, c.eve) << c.date << ' ' << c.branch;
    }
}

TEST(PeriodChoice, TakesTheLatestStartOfThePeriodsInForceBothEndsIncluded) {
    const std::vector<server::ValidityPeriod> periods = {
        {"0001", "001", "2026-06-01", "2026-06-30"},
        {"0001", "001", "2025-01-01", "2025-12-31"},
        {"0001", "001", "2026-01-01", "2026-12-31"},
        {"0001", "001", "2026-07-01", "2026-13-01"},  // a date that does not exist
    };
    struct Case {
        const char* date;
        const char* start;  // nullptr: none
    } const cases[] = {
        {"2026-06-15", "2026-06-01"}, {"2026-06-01", "2026-06-01"}, {"2026-06-30", "2026-06-01"},
        {"2026-07-01", "2026-01-01"}, {"2025-12-31", "2025-01-01"}, {"2024-12-31", nullptr},
        {"2027-01-01", nullptr},
    };
    for (const Case& c : cases) {
        const auto period = server::periodOn(periods, day(c.date));
        ASSERT_EQ(period.has_value(), c.start != nullptr) << c.date;
        if (period) {
            EXPECT_EQ(period->start, c.start) << c.date;
        }
    }
}

}  // namespace
