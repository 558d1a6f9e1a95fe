// The texts of rule values: money, percentages, dates, days and windows.

#include <gtest/gtest.h>

#include "inquiry/RuleText.h"

namespace {

using vnd::RuleText;

struct MoneyCase {
    double value;
    const char* money;
    const char* percent;
    const char* decimal;
};

class RuleTextMoney : public ::testing::TestWithParam<MoneyCase> {};

TEST_P(RuleTextMoney, GroupsThousandsAndRoundsHalfAwayFromZeroAsTheValueReads) {
    const MoneyCase& c = GetParam();
    EXPECT_EQ(RuleText::money(c.value), c.money);
    EXPECT_EQ(RuleText::percent(c.value), c.percent);
    EXPECT_EQ(RuleText::decimal(c.value), c.decimal);
}

INSTANTIATE_TEST_SUITE_P(
    Values, RuleTextMoney,
    ::testing::Values(MoneyCase{1234.56, "R$ 1.234,56", "1.234,56 %", "1234,56"},
                      MoneyCase{2, "R$ 2,00", "2,00 %", "2,00"}, MoneyCase{0.005, "R$ 0,01", "0,01 %", "0,01"},
                      MoneyCase{2.675, "R$ 2,68", "2,68 %", "2,68"},
                      MoneyCase{16.9915, "R$ 16,99", "16,99 %", "16,99"},
                      MoneyCase{1234567.891, "R$ 1.234.567,89", "1.234.567,89 %", "1234567,89"},
                      MoneyCase{-3.5, "R$ -3,50", "-3,50 %", "-3,50"}, MoneyCase{0, "R$ 0,00", "0,00 %", "0,00"}));

TEST(RuleTextTest, ReadsPacketTextsAndLeavesWhatIsNotAValueAsItCame) {
    EXPECT_EQ(RuleText::number("10.5"), 10.5);
    EXPECT_EQ(RuleText::number(" 2 "), 2.0);
    EXPECT_FALSE(RuleText::number("").has_value());
    EXPECT_FALSE(RuleText::number("2,5").has_value());
    EXPECT_FALSE(RuleText::number("nan").has_value());
    EXPECT_EQ(RuleText::amount("0", "2"), "R$ 2,00");
    EXPECT_EQ(RuleText::amount("1", "10"), "10,00 %");
    EXPECT_EQ(RuleText::amount("1", "abc"), "abc");
}

TEST(RuleTextTest, DatesAndMomentsInThePattern) {
    const wire::DatePattern br("dd/mm/yyyy");
    EXPECT_EQ(RuleText::validity("2026-02-01", "2026-02-28", br), "01/02/2026 a 28/02/2026");
    EXPECT_EQ(RuleText::timestampText("2026-02-01T10:30:05Z", br), "01/02/2026 10:30");
    EXPECT_EQ(RuleText::timestampText("2026-02-01 07:05:00", br), "01/02/2026 07:05");
    EXPECT_EQ(RuleText::timestampText("2026-02-01", br), "01/02/2026");
    EXPECT_EQ(RuleText::dateText("31/02/2026", br), "31/02/2026");
}

TEST(RuleTextTest, DaysTypesFlagsAndWindowsInWords) {
    const std::pair<const char*, const char*> days[] = {
        {"T", "Todos os Dias"}, {"F", "Feriado"}, {"V", "Véspera de Feriado"}, {"1", "Domingo"},
        {"2", "Segunda"},       {"7", "Sábado"},  {"8", "8"}};
    for (const auto& [code, word] : days) EXPECT_EQ(RuleText::day(code), word) << code;
    EXPECT_EQ(RuleText::window("0800", "1200"), "08:00 às 12:00");
    EXPECT_EQ(RuleText::consumerType("T"), "Todos");
    EXPECT_EQ(RuleText::consumerType("01"), "01");
    EXPECT_EQ(RuleText::adjustment("0"), "Desconto");
    EXPECT_EQ(RuleText::adjustment("1"), "Acréscimo");
    // The display option is the item index of the registration screen's "Sim"/"Não" group.
    EXPECT_EQ(RuleText::display("0"), "Sim");
    EXPECT_EQ(RuleText::display("1"), "Não");
    EXPECT_EQ(RuleText::ruleCount(1), "1 regra");
    EXPECT_EQ(RuleText::ruleCount(1234), "1.234 regras");
    EXPECT_EQ(RuleText::ruleCount(1000000), "1.000.000 regras");
}

}  // namespace
