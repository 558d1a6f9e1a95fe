#include "server/service/PriceExplanation.h"

#include <algorithm>

#include "server/service/Refusal.h"

namespace server {

namespace {

[[noreturn]] void refuse(const std::string& message) {
    throw Refusal(Refusal::Reason::Argument, message);
}

}  // namespace

void checkPriceTable(DataReads reads, const std::string& branch, const std::string& table) {
    if (reads.branches(branch).empty()) {
        refuse("Filial " + branch + " não cadastrada.");
    }
    const auto tables = reads.priceTables(branch);
    if (std::none_of(tables.begin(), tables.end(),
                     [&](const PriceTable& t) { return t.code == table; })) {
        refuse("Tabela de preço " + table + " não cadastrada na filial " + branch + ".");
    }
}

PriceMoment priceMoment(DataReads reads, const std::string& branch, const std::string& table,
                        const std::string& consumerType, const wire::Date& date,
                        const std::string& time) {
    checkPriceTable(reads, branch, table);
    if (const auto why = consumerTypeRefusal(consumerType, [&](const std::string& code) {
            return reads.consumerTypeExists(code);
        })) {
        refuse(*why);
    }
    const auto hhmm = clockToHhmm(time);
    if (!hhmm) {
        refuse("Hora '" + time + "' não é uma hora válida (HH:MM).");
    }
    const auto periods = reads.periods(branch, table, std::nullopt);
    const wire::Date next = wire::Date::fromDaysSinceEpoch(date.daysSinceEpoch() + 1);
    const auto holidays = reads.holidays(branch, date, next);
    return momentAt(branch, table, consumerType, date, *hhmm, periods, holidays);
}

PriceExplanation explainPrice(DataReads reads, const PriceMoment& at, const std::string& code) {
    const wire::Date start =
        at.period ? *wire::Date::fromIso(at.period->start) : at.moment.date;
    // Without a period in force the product is read as of the day asked for, which is
    // not worth holding.
    const auto held = at.period ? reads.product(at.branch, at.table, start, code)
                                : DataReads(reads.store()).product(at.branch, at.table, start, code);
    if (!held->product) {
        refuse("Produto " + code + " não é vendido pela filial " + at.branch + ".");
    }
    std::vector<RuleRow> rules;
    if (at.period) {
        rules = held->rules;
    }
    return explainProduct(at, *held->product, std::move(rules));
}

void forEachPrice(RuleStore& store, const PriceMoment& at,
                  const std::function<void(const PricedProduct&, const RuleRow*,
                                           const PriceResult&)>& fn) {
    if (!at.period) {
        return;
    }
    PricingQueries(store).forEachPricedProduct(
        at.branch, at.table, *wire::Date::fromIso(at.period->start),
        [&](const PricedProduct& product, std::span<const RuleRow> rules) {
            const RuleRow* applied = appliedRule(at.moment, rules);
            fn(product, applied, computePrice(product.base, applied));
        });
}

}  // namespace server
