#include "server/pricing/PriceExplanation.h"

#include <algorithm>

#include "server/pricing/Decimal4.h"
#include "server/pricing/Money.h"
#include "server/pricing/RuleText.h"

namespace server {

namespace {

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

PriceExplanation explainProduct(const PriceMoment& at, PricedProduct product,
                                std::vector<RuleRow> rules) {
    PriceExplanation e;
    e.at = at;
    e.product = std::move(product);
    if (!at.period) {
        e.product.base.reset();
        return e;
    }
    e.rules = std::move(rules);
    e.verdicts = explainRules(at.moment, e.rules);
    e.applied = !e.verdicts.empty() && e.verdicts.front().situation == Situation::Applied
                    ? e.verdicts.front().row
                    : nullptr;
    e.price = computePrice(e.product.base, e.applied);
    return e;
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
