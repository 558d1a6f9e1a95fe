#include "text/DateText.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

#include "text/MaskEngine.h"

namespace wire {
// Failure messages show dates as "2026-03-07".
inline void PrintTo(const Date& d, std::ostream* os) { *os << d.iso(); }
}  // namespace wire

namespace {

using vol::DateText;
using vol::DateTextState;
using wire::Date;
using wire::DatePattern;

struct MaskCase {
    const char* pattern;
    const char* mask;
};
std::ostream& operator<<(std::ostream& os, const MaskCase& c) { return os << c.pattern; }

class DateEditMask : public testing::TestWithParam<MaskCase> {};

TEST_P(DateEditMask, MaskAndItsEditText) {
    const DatePattern pattern(GetParam().pattern);
    EXPECT_EQ(DateText::editMask(pattern), GetParam().mask);
    // What the edit shows for a date reads back as that date, including the days and
    // months of one digit under one-letter fields.
    const vol::MaskEngine mask(DateText::editMask(pattern));
    for (const Date& d : {Date{2026, 3, 7}, Date{2026, 12, 31}, Date{2024, 2, 29}, Date{2000, 1, 1}}) {
        const std::string edit = DateText::editText(d, pattern);
        EXPECT_EQ(static_cast<int>(edit.size()), mask.length()) << edit;
        EXPECT_EQ(DateText::dateFromEditText(mask.text(edit), pattern), d) << edit;
    }
}

INSTANTIATE_TEST_SUITE_P(Patterns, DateEditMask, testing::Values(
    MaskCase{"dd/mm/yyyy", "!99/99/9999;1; "},
    MaskCase{"d/m/yyyy", "!99/99/9999;1; "},
    MaskCase{"yyyy-mm-dd", "!9999-99-99;1; "},
    MaskCase{"mm/dd/yyyy", "!99/99/9999;1; "},
    MaskCase{"dd.mm.yy", "!99.99.99;1; "},
    MaskCase{"yyyy;mm;dd", "!9999\\;99\\;99;1; "}));  // a ';' separator must stay a literal

struct ReadCase {
    const char* pattern;
    const char* text;
    DateTextState state;
    std::optional<Date> date;
};
std::ostream& operator<<(std::ostream& os, const ReadCase& c) { return os << c.pattern << " \"" << c.text << '"'; }

class DateEditRead : public testing::TestWithParam<ReadCase> {};

TEST_P(DateEditRead, StateAndDate) {
    const ReadCase& c = GetParam();
    const DatePattern pattern(c.pattern);
    const vol::DateTextReading r = DateText::read(c.text, pattern);
    EXPECT_EQ(r.state, c.state);
    EXPECT_EQ(r.date, c.date);
    EXPECT_EQ(DateText::dateFromEditText(c.text, pattern), c.date);
    EXPECT_EQ(DateText::isBlank(c.text, pattern), c.state == DateTextState::Empty);
}

INSTANTIATE_TEST_SUITE_P(Texts, DateEditRead, testing::Values(
    ReadCase{"dd/mm/yyyy", "  /  /    ", DateTextState::Empty, std::nullopt},
    ReadCase{"dd/mm/yyyy", "", DateTextState::Empty, std::nullopt},
    ReadCase{"dd/mm/yyyy", "   ", DateTextState::Empty, std::nullopt},
    ReadCase{"dd/mm/yyyy", "07/03/2026", DateTextState::Valid, Date{2026, 3, 7}},
    ReadCase{"dd/mm/yyyy", "31/02/2026", DateTextState::Invalid, std::nullopt},
    ReadCase{"dd/mm/yyyy", "07/03/20  ", DateTextState::Invalid, std::nullopt},   // partly typed
    ReadCase{"dd/mm/yyyy", " 7/03/2026", DateTextState::Invalid, std::nullopt},   // "dd" short
    ReadCase{"dd/mm/yyyy", "0 /03/2026", DateTextState::Invalid, std::nullopt},
    ReadCase{"dd/mm/yyyy", "07/03/2 26", DateTextState::Invalid, std::nullopt},   // blank inside
    ReadCase{"dd/mm/yyyy", "07.03.2026", DateTextState::Invalid, std::nullopt},
    ReadCase{"d/m/yyyy", " 7/ 3/2026", DateTextState::Valid, Date{2026, 3, 7}},
    ReadCase{"yyyy-mm-dd", "2026-03-07", DateTextState::Valid, Date{2026, 3, 7}},
    ReadCase{"yyyy-mm-dd", "    -  -  ", DateTextState::Empty, std::nullopt},
    ReadCase{"dd.mm.yy", "07.03.26", DateTextState::Valid, Date{2026, 3, 7}}));

TEST(DateText, WeekdaysStartOnSunday) {
    struct Case {
        Date date;
        int weekday;
        const char* name;
    };
    for (const Case& c : {Case{{2026, 3, 8}, 0, "Domingo"}, Case{{2026, 3, 9}, 1, "Segunda"},
                          Case{{2026, 3, 10}, 2, "Terça"}, Case{{2026, 3, 11}, 3, "Quarta"},
                          Case{{2026, 3, 12}, 4, "Quinta"}, Case{{2026, 3, 13}, 5, "Sexta"},
                          Case{{2026, 3, 14}, 6, "Sábado"}, Case{{1970, 1, 1}, 4, "Quinta"},
                          Case{{1969, 12, 31}, 3, "Quarta"}, Case{{2000, 2, 29}, 2, "Terça"},
                          Case{{1, 1, 1}, 1, "Segunda"}, Case{{9999, 12, 31}, 5, "Sexta"}}) {
        ASSERT_EQ(DateText::weekday(c.date), c.weekday) << c.date.iso();
        EXPECT_EQ(DateText::weekdayNames[static_cast<std::size_t>(c.weekday)], c.name);
    }
    EXPECT_EQ(DateText::weekday(Date{2026, 2, 30}), -1);
}

}  // namespace
