// Resolving the applied rule and its price for one product with many stored rules: the
// price book does this once per product the branch sells.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <vector>

#include "server/pricing/PriceCalculation.h"
#include "server/pricing/RuleResolver.h"

namespace {

wire::Date day(const char* iso) {
    return *wire::Date::fromIso(iso);
}

// Fifty rows of one product and period, in key order, mixing every day kind, three
// consumer types, windows and validity ranges, so that every test and every precedence
// step is reached.
std::vector<server::RuleRow> fiftyRows() {
    static constexpr std::array kDays = {'1', '2', '3', '4', '5', '6', '7', 'F', 'T', 'V'};
    static constexpr std::array kTypes = {"01", "02", "T"};
    static constexpr std::array kWindows = {std::array{"0001", "2359"}, std::array{"0800", "1200"},
                                            std::array{"1000", "1800"}, std::array{"1100", "1130"},
                                            std::array{"1800", "2200"}};
    std::vector<server::RuleRow> rows;
    for (int i = 0; i < 50; ++i) {
        server::RuleRow r;
        r.branch = "0001";
        r.table = "001";
        r.periodStart = day("2026-01-01");
        r.product = "0000000001";
        r.day = kDays[static_cast<std::size_t>(i % 10)];
        r.consumerType = kTypes[static_cast<std::size_t>(i / 10 % 3)];
        const auto& window = kWindows[static_cast<std::size_t>(i % 5)];
        r.timeStart = window[0];
        r.timeEnd = window[1];
        char from[11];
        std::snprintf(from, sizeof from, "2026-%02d-01", 1 + i % 6);
        r.validFrom = day(from);
        r.validTo = day(i % 2 == 0 ? "2026-12-31" : "2026-09-30");
        r.adjustment = i % 2 == 1 ? server::Adjustment::Surcharge : server::Adjustment::Discount;
        r.amountKind = i % 3 == 0 ? server::AmountKind::Percentage : server::AmountKind::Money;
        r.amount = 0.05 + i * 1.5;
        rows.push_back(r);
    }
    return rows;
}

void BM_ResolveFiftyRules(benchmark::State& state) {
    const std::vector<server::RuleRow> rows = fiftyRows();
    // Carnival Monday 2026 at 11:15, type 01: a holiday and an eve, so many rows are
    // candidates and the precedence is exercised, not only the tests.
    const server::Moment moment{day("2026-02-16"), "1115", "01", {2, "Carnaval", "Carnaval"}};
    const std::optional<double> base = 33.18;
    long long priced = 0;
    for (auto _ : state) {
        const server::RuleRow* applied = server::appliedRule(moment, rows);
        const server::PriceResult price = server::computePrice(base, applied);
        benchmark::DoNotOptimize(price);
        priced += price.cents ? 1 : 0;
    }
    state.SetItemsProcessed(static_cast<long long>(state.iterations()));
    benchmark::DoNotOptimize(priced);
}
BENCHMARK(BM_ResolveFiftyRules);

}  // namespace

BENCHMARK_MAIN();
