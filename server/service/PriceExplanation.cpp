#include "server/service/PriceExplanation.h"

#include <algorithm>

#include "server/service/RuleChecker.h"
#include "server/methods/RuleRowForms.h"
#include "server/pricing/Decimal4.h"
#include "server/pricing/Money.h"
#include "server/pricing/PeriodChoice.h"
#include "protocol/JsonRpc.h"
#include "protocol/ValueCodec.h"

namespace server {

namespace {

[[noreturn]] void refuse(const std::string& message) {
    throw wire::RpcError(wire::rpc::kInvalidParams, message);
}

const char* weekdayName(int weekday) {
    static const char* const names[] = {"domingo", "segunda-feira", "terça-feira",
                                        "quarta-feira", "quinta-feira", "sexta-feira", "sábado"};
    return names[std::clamp(weekday, 1, 7) - 1];
}

// A rule's day and amount as a person reads them.
std::string dayText(char day) {
    switch (day) {
        case 'T': return "todos os dias";
        case 'F': return "feriado";
        case 'V': return "véspera de feriado";
        default: return day >= '1' && day <= '7' ? weekdayName(day - '0') : std::string(1, day);
    }
}

std::string amountText(const RuleRow& r) {
    const std::string kind = r.adjustment == Adjustment::Surcharge ? "acréscimo de " : "desconto de ";
    const long long hundredths = Decimal4::fromDouble(r.amount).roundedCents();
    return kind + (r.amountKind == AmountKind::Percentage ? decimalText(hundredths) + " %" : "R$ " + moneyText(hundredths));
}

std::string ruleText(const RuleRow& r) {
    return dayText(r.day) + ", tipo " + (r.consumerType == "T" ? "todos" : r.consumerType) +
           ", " + clockText(r.timeStart) + " às " + clockText(r.timeEnd) + ", validade " +
           shortDate(r.validFrom) + " a " + shortDate(r.validTo) + ": " + amountText(r);
}

}  // namespace

std::optional<std::string> clockToHhmm(const std::string& time) {
    if (time.size() != 5 || time[2] != ':') {
        return std::nullopt;
    }
    const std::string hhmm = time.substr(0, 2) + time.substr(3);
    return isTimeOfDay(hhmm) ? std::optional(hhmm) : std::nullopt;
}

void checkPriceTable(RuleStore& store, const std::string& branch, const std::string& table) {
    if (store.branches(branch).empty()) {
        refuse("Filial " + branch + " não cadastrada.");
    }
    const auto tables = store.priceTables(branch);
    if (std::none_of(tables.begin(), tables.end(),
                     [&](const PriceTable& t) { return t.code == table; })) {
        refuse("Tabela de preço " + table + " não cadastrada na filial " + branch + ".");
    }
}

PriceMoment priceMoment(RuleStore& store, const std::string& branch, const std::string& table,
                        const std::string& consumerType, const wire::Date& date,
                        const std::string& time) {
    checkPriceTable(store, branch, table);
    if (!consumerType.empty() && consumerType != "T" && !store.consumerTypeExists(consumerType)) {
        refuse("Tipo de consumidor " + consumerType + " não cadastrado.");
    }
    const auto hhmm = clockToHhmm(time);
    if (!hhmm) {
        refuse("Hora '" + time + "' não é uma hora válida (HH:MM).");
    }
    PriceMoment at;
    at.branch = branch;
    at.table = table;
    const auto periods = store.periods(branch, table, std::nullopt);
    at.period = periodOn(periods, date);
    const wire::Date next = wire::Date::fromDaysSinceEpoch(date.daysSinceEpoch() + 1);
    const auto holidays = PricingQueries(store).holidays(branch, date, next);
    // An asked "T" is no consumer type of its own: it matches the rules for all, as "" does.
    at.moment = Moment{date, *hhmm, consumerType == "T" ? "" : consumerType,
                       dayFactsFor(date, branch, holidays)};
    return at;
}

PriceExplanation explainPrice(RuleStore& store, const PriceMoment& at, const std::string& code) {
    PriceExplanation e;
    e.at = at;
    PricingQueries queries(store);
    const wire::Date start =
        at.period ? *wire::Date::fromIso(at.period->start) : at.moment.date;
    auto product = queries.product(at.branch, at.table, start, code);
    if (!product) {
        refuse("Produto " + code + " não é vendido pela filial " + at.branch + ".");
    }
    e.product = *product;
    if (!at.period) {
        e.product.base.reset();
        return e;
    }
    e.rules = queries.productRules(at.branch, at.table, start, code);
    e.verdicts = explainRules(at.moment, e.rules);
    e.applied = !e.verdicts.empty() && e.verdicts.front().situation == Situation::Applied
                    ? e.verdicts.front().row
                    : nullptr;
    e.price = computePrice(e.product.base, e.applied);
    return e;
}

void forEachPrice(RuleStore& store, const PriceMoment& at,
                  const std::function<void(const PricedProduct&, const RuleRow*,
                                           const PriceResult&)>& fn) {
    if (!at.period) {
        return;
    }
    PricingQueries(store).forEachPricedProduct(
        at.branch, at.table, *wire::Date::fromIso(at.period->start),
        [&](const PricedProduct& product, const std::vector<RuleRow>& rules) {
            const RuleRow* applied = appliedRule(at.moment, rules);
            fn(product, applied, computePrice(product.base, applied));
        });
}

nlohmann::json explanationJson(const PriceExplanation& e) {
    using nlohmann::json;
    json answer;
    const PriceMoment& at = e.at;
    answer["periodo"] = at.period ? json{{"DTINIVGPREC", {{"$date", at.period->start}}},
                                         {"DTFINVGPREC", {{"$date", at.period->end}}}}
                                  : json(nullptr);
    const DayFacts& day = at.moment.day;
    answer["dia"] = {{"semana", day.weekday},
                     {"feriado", day.holiday ? json(*day.holiday) : json(nullptr)},
                     {"vespera", day.eve ? json(*day.eve) : json(nullptr)}};
    answer["base"] = e.product.base ? json(centsToDouble(Decimal4::fromDouble(*e.product.base).roundedCents()))
                                    : json(nullptr);
    answer["preco"] = e.price.cents ? json(centsToDouble(*e.price.cents)) : json(nullptr);
    answer["abaixo_de_zero"] = e.price.belowZero;
    answer["aplicada"] = e.applied ? ruleRowJson(*e.applied) : json(nullptr);
    json rules = json::array();
    for (const Verdict& v : e.verdicts) {
        json motivo = nullptr;
        if (v.out) {
            motivo = std::string(reasonText(*v.out));
        } else if (v.passedOver) {
            motivo = std::string(precedenceText(*v.passedOver));
        }
        rules.push_back({{"linha", ruleRowJson(*v.row)},
                         {"situacao", std::string(situationText(v.situation))},
                         {"motivo", motivo}});
    }
    answer["regras"] = std::move(rules);
    return answer;
}

std::string explanationText(const PriceExplanation& e) {
    const PriceMoment& at = e.at;
    const DayFacts& day = at.moment.day;
    std::string out = "Produto " + e.product.code + " " + e.product.name + "\n";
    out += "Filial " + at.branch + ", tabela " + at.table + ", " + shortDate(at.moment.date) +
           " (" + weekdayName(day.weekday);
    if (day.holiday) {
        out += ", feriado: " + *day.holiday;
    }
    if (day.eve) {
        out += ", véspera de " + *day.eve;
    }
    out += ") às " + clockText(at.moment.time) + ", tipo de consumidor " +
           (at.moment.consumerType.empty() ? std::string("nenhum") : at.moment.consumerType) + "\n";
    if (!at.period) {
        return out + "Nenhuma vigência da tabela nessa data: sem preço.\n";
    }
    out += "Vigência " + shortDate(*wire::Date::fromIso(at.period->start)) + " a " +
           shortDate(*wire::Date::fromIso(at.period->end)) + "\n";
    out += e.product.base ? "Preço base: R$ " + moneyText(Decimal4::fromDouble(*e.product.base).roundedCents()) + "\n"
                          : std::string("Sem preço base nesta vigência.\n");
    if (e.price.cents) {
        out += "Preço vigente: R$ " + moneyText(*e.price.cents) +
               (e.price.belowZero ? " (o desconto passa do preço)" : "") + "\n";
    }
    if (e.verdicts.empty()) {
        out += "Nenhuma regra de preço diferenciado gravada para o produto.\n";
    }
    for (const Verdict& v : e.verdicts) {
        out += std::string(situationText(v.situation));
        if (v.out) {
            out += " (" + std::string(reasonText(*v.out)) + ")";
        } else if (v.passedOver) {
            out += " (" + std::string(precedenceText(*v.passedOver)) + ")";
        }
        out += ": " + ruleText(*v.row) + "\n";
    }
    return out;
}

}  // namespace server
