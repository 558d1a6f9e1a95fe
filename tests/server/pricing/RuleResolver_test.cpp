// Which stored rule applies at a moment, why the others do not, and which rows compete.

#include <vector>

#include <gtest/gtest.h>

#include "server/pricing/RuleResolver.h"

namespace {

using server::Moment;
using server::OutReason;
using server::Precedence;
using server::RuleRow;
using server::Situation;

wire::Date day(const char* iso) {
    return *wire::Date::fromIso(iso);
}

// The parts of a row's key the resolver looks at; the rest is one product of one period.
struct Key {
    char day = 'T';
    const char* type = "T";
    const char* start = "0001";
    const char* end = "2359";
    const char* from = "2026-01-01";
    const char* to = "2026-12-31";
};

RuleRow row(const Key& k) {
    RuleRow r;
    r.branch = "0001";
    r.table = "001";
    r.periodStart = day("2026-01-01");
    r.product = "0000000001";
    r.day = k.day;
    r.consumerType = k.type;
    r.timeStart = k.start;
    r.timeEnd = k.end;
    r.validFrom = day(k.from);
    r.validTo = day(k.to);
    return r;
}

// Tuesday 21 April 2026, a holiday; 16 February 2026, a Monday both a holiday and an eve.
Moment tiradentes(const char* time = "1200", const char* type = "01") {
    return {day("2026-04-21"), time, type, {3, "Tiradentes", std::nullopt}};
}
Moment carnivalMonday(const char* time = "1100", const char* type = "01") {
    return {day("2026-02-16"), time, type, {2, "Carnaval", "Carnaval"}};
}

TEST(RuleResolver, GivesTheFirstFailingTestOfARowThatIsOut) {
    struct Case {
        Moment moment;
        Key key;
        std::optional<OutReason> out;
    } const cases[] = {
        {tiradentes(), {}, std::nullopt},
        {tiradentes(), {.from = "2026-04-22"}, OutReason::Validity},
        {tiradentes(), {.to = "2026-04-20"}, OutReason::Validity},
        {tiradentes(), {.from = "2026-04-21", .to = "2026-04-21"}, std::nullopt},
        {tiradentes(), {.type = "02"}, OutReason::ConsumerType},
        {tiradentes(), {.type = "01"}, std::nullopt},
        {tiradentes("1200", ""), {.type = "01"}, OutReason::ConsumerType},
        {tiradentes("1200", ""), {.type = ""}, OutReason::ConsumerType},
        {tiradentes("1200", ""), {}, std::nullopt},
        {tiradentes(), {.day = '4'}, OutReason::Day},
        {tiradentes(), {.day = '3'}, std::nullopt},
        {tiradentes(), {.day = 'F'}, std::nullopt},
        {tiradentes(), {.day = 'V'}, OutReason::Day},
        {carnivalMonday(), {.day = 'V'}, std::nullopt},
        {tiradentes(), {.start = "1201"}, OutReason::Window},
        {tiradentes(), {.end = "1159"}, OutReason::Window},
        {tiradentes(), {.start = "1200", .end = "1200"}, std::nullopt},
        {tiradentes("0000"), {}, OutReason::Window},
        {tiradentes("2359"), {}, std::nullopt},
        // The order of the tests: validity, consumer type, day, window.
        {tiradentes("0000"), {.day = '4', .type = "02", .to = "2026-04-20"}, OutReason::Validity},
        {tiradentes("0000"), {.day = '4', .type = "02"}, OutReason::ConsumerType},
        {tiradentes("0000"), {.day = '4'}, OutReason::Day},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(server::outReason(cases[i].moment, row(cases[i].key)), cases[i].out)
            << "case " << i;
    }
}

// Two rows that are both candidates on carnival Monday at 11:00 for type 01.
struct PrecedenceCase {
    Key winner;
    Key loser;
    Precedence step;
};

const PrecedenceCase kPrecedence[] = {
    {{.day = '2', .type = "01"}, {.day = 'F'}, Precedence::ConsumerType},
    {{.day = 'F'}, {.day = 'V', .start = "1000", .end = "1200"}, Precedence::Day},
    {{.day = 'V'}, {.day = '2'}, Precedence::Day},
    {{.day = '2', .from = "2026-02-01"}, {.from = "2026-02-01"}, Precedence::Day},
    {{.from = "2026-02-01"}, {.start = "1000", .end = "1200"}, Precedence::ValidFrom},
    {{.to = "2026-02-28"}, {.start = "1000", .end = "1200"}, Precedence::ValidTo},
    {{.start = "0800", .end = "1200"}, {.start = "1000", .end = "1800"}, Precedence::Window},
    {{.start = "1000", .end = "1400"}, {.start = "0900", .end = "1300"}, Precedence::Start},
};

TEST(RuleResolver, RanksEveryPrecedenceStepEitherWayRound) {
    for (std::size_t i = 0; i < std::size(kPrecedence); ++i) {
        const RuleRow winner = row(kPrecedence[i].winner);
        const RuleRow loser = row(kPrecedence[i].loser);
        const auto forward = server::rank(winner, loser);
        const auto backward = server::rank(loser, winner);
        ASSERT_TRUE(forward && backward) << "case " << i;
        EXPECT_TRUE(forward->firstWins) << "case " << i;
        EXPECT_FALSE(backward->firstWins) << "case " << i;
        EXPECT_EQ(forward->step, kPrecedence[i].step) << "case " << i;
        EXPECT_EQ(backward->step, kPrecedence[i].step) << "case " << i;

        // At a moment where both are candidates, in either order given.
        for (const auto& rows : {std::vector{winner, loser}, std::vector{loser, winner}}) {
            const RuleRow* applied = server::appliedRule(carnivalMonday(), rows);
            ASSERT_NE(applied, nullptr) << "case " << i;
            EXPECT_TRUE(applied->sameKey(winner)) << "case " << i;
        }
    }
    EXPECT_FALSE(server::rank(row({}), row({})));
}

TEST(RuleResolver, AppliesTheFirstCandidateOrNone) {
    struct Case {
        const char* what;
        Moment moment;
        std::vector<Key> rows;
        int applied;  // index into rows, -1 for none
    } const cases[] = {
        {"a weekday rule still applies on a holiday", tiradentes(), {{.day = '3'}}, 0},
        {"a holiday rule beats the weekday rule",
         tiradentes(),
         {{.day = '3', .type = "01"}, {.day = 'F', .type = "01"}},
         1},
        {"midnight is outside the default window", tiradentes("0000"), {{}, {.day = '3'}}, -1},
        {"no type asked: only the rows for every type",
         tiradentes("1200", ""),
         {{.type = "01", .start = "1100", .end = "1300"}, {}},
         1},
        {"no rows", tiradentes(), {}, -1},
    };
    for (const Case& c : cases) {
        std::vector<RuleRow> rows;
        for (const Key& k : c.rows) {
            rows.push_back(row(k));
        }
        const RuleRow* applied = server::appliedRule(c.moment, rows);
        EXPECT_EQ(applied, c.applied < 0 ? nullptr : &rows[c.applied]) << c.what;
    }
}

TEST(RuleResolver, ExplainsTheAppliedThenThePassedOverInPrecedenceThenTheOut) {
    const std::vector<RuleRow> rows = {
        row({.day = 'T', .type = "01"}),        // passed over: day
        row({.start = "1500", .end = "1800"}),  // out: window
        row({.day = 'F'}),                      // passed over: consumer type
        row({.day = 'F', .type = "01"}),        // applied
        row({.from = "2026-05-01"}),            // out: validity
        row({.day = 'V', .type = "01"}),        // passed over: day, before T
    };
    struct Expected {
        int index;
        Situation situation;
        std::optional<OutReason> out;
        std::optional<Precedence> passedOver;
    } const expected[] = {
        {3, Situation::Applied, std::nullopt, std::nullopt},
        {5, Situation::PassedOver, std::nullopt, Precedence::Day},
        {0, Situation::PassedOver, std::nullopt, Precedence::Day},
        {2, Situation::PassedOver, std::nullopt, Precedence::ConsumerType},
        {1, Situation::Out, OutReason::Window, std::nullopt},
        {4, Situation::Out, OutReason::Validity, std::nullopt},
    };
    const auto verdicts = server::explainRules(carnivalMonday(), rows);
    ASSERT_EQ(verdicts.size(), std::size(expected));
    for (std::size_t i = 0; i < verdicts.size(); ++i) {
        EXPECT_EQ(verdicts[i].row, &rows[expected[i].index]) << i;
        EXPECT_EQ(verdicts[i].situation, expected[i].situation) << i;
        EXPECT_EQ(verdicts[i].out, expected[i].out) << i;
        EXPECT_EQ(verdicts[i].passedOver, expected[i].passedOver) << i;
    }
    EXPECT_EQ(server::appliedRule(carnivalMonday(), rows), &rows[3]);
}

TEST(RuleResolver, TellsWhichRowsCompete) {
    struct Case {
        Key a;
        Key b;
        bool compete;
    } const cases[] = {
        {{}, {}, false},  // the same key
        {{.to = "2026-03-31"}, {.from = "2026-04-01"}, false},
        {{.to = "2026-04-01"}, {.from = "2026-04-01"}, true},
        {{.start = "0800", .end = "1159"}, {.start = "1200", .end = "1800"}, false},
        {{.start = "0800", .end = "1200"}, {.start = "1200", .end = "1800"}, true},
        {{.type = "01"}, {.type = "02"}, false},
        {{.type = "01"}, {}, true},
        {{.type = "01"}, {.type = "01", .end = "2300"}, true},
        {{.day = '2'}, {.day = '3'}, false},
        {{.day = '5'}, {}, true},
        {{.day = 'F'}, {.day = '3'}, true},
        {{.day = '3'}, {.day = 'V'}, true},
        {{.day = 'V'}, {.day = 'F'}, true},
        {{.day = 'V'}, {.day = 'V', .end = "2300"}, true},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(server::competes(row(cases[i].a), row(cases[i].b)), cases[i].compete) << i;
        EXPECT_EQ(server::competes(row(cases[i].b), row(cases[i].a)), cases[i].compete) << i;
    }
    RuleRow otherProduct = row({.end = "2300"});
    otherProduct.product = "0000000002";
    EXPECT_FALSE(server::competes(row({}), otherProduct));
}

TEST(RuleResolver, NamesReasonsInPortuguese) {
    EXPECT_EQ(server::reasonText(OutReason::Window), "fora do horário");
    EXPECT_EQ(server::precedenceText(Precedence::ConsumerType), "tipo de consumidor específico");
    EXPECT_EQ(server::precedenceText(Precedence::Start), "horário mais tarde");
    EXPECT_EQ(server::situationText(Situation::PassedOver), "preterida");
}

}  // namespace
