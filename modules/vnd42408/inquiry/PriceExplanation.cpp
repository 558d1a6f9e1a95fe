#include "inquiry/PriceExplanation.h"

#include <charconv>

#include "inquiry/RuleText.h"

namespace vnd {

using nlohmann::json;

namespace {

std::optional<double> numberOf(const json& object, const char* name) {
    if (!object.is_object() || !object.contains(name)) return std::nullopt;
    const json& v = object[name];
    if (v.is_number()) return v.get<double>();
    if (v.is_string()) return RuleText::number(v.get<std::string>());
    return std::nullopt;
}

std::string nameOrNothing(const json& day, const char* name) {
    if (!day.is_object() || !day.contains(name) || !day[name].is_string()) return {};
    return day[name].get<std::string>();
}

std::string dayLine(const json& day, const std::string& dateText) {
    std::string line = "Dia: " + dateText;
    if (std::optional<double> weekday = numberOf(day, "semana")) {
        line += ", " + RuleText::weekday(static_cast<int>(*weekday));
    }
    const std::string holiday = nameOrNothing(day, "feriado");
    const std::string eve = nameOrNothing(day, "vespera");
    if (!holiday.empty()) line += ", feriado (" + holiday + ")";
    if (!eve.empty()) line += ", véspera de feriado (" + eve + ")";
    if (holiday.empty() && eve.empty()) line += ", sem feriado";
    return line;
}

}  // namespace

std::string PriceExplanation::member(const json& object, const char* name) {
    if (!object.is_object() || !object.contains(name)) return {};
    const json& v = object[name];
    if (v.is_string()) return v.get<std::string>();
    if (v.is_object() && v.contains("$date") && v["$date"].is_string()) return v["$date"].get<std::string>();
    if (v.is_number_integer()) return std::to_string(v.get<long long>());
    if (v.is_number()) {
        char buffer[64];
        auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v.get<double>());
        return ec == std::errc{} ? std::string(buffer, end) : v.dump();
    }
    return {};
}

std::string PriceExplanation::rule(const json& row, const wire::DatePattern& pattern) {
    return RuleText::day(member(row, "IDDIA")) + ", tipo " + RuleText::consumerType(member(row, "CDTIPOCONS")) +
           ", " + RuleText::window(member(row, "HRINI"), member(row, "HRFIN")) + ", validade " +
           RuleText::validity(member(row, "DTINIVALID"), member(row, "DTFINVALID"), pattern) + ", " +
           RuleText::adjustment(member(row, "IDDESCACRE")) + " de " +
           RuleText::amount(member(row, "IDVALPERC"), member(row, "VRPRECDIF"));
}

std::string PriceExplanation::text(const PriceQuestion& q, const json& answer, const wire::DatePattern& pattern) {
    std::string out;
    auto line = [&out](const std::string& text) { out += text + "\n"; };

    line("Produto: " + q.productCode + " - " + q.productName);
    std::string who = q.consumerType.empty() ? std::string("nenhum tipo de consumidor informado")
                                             : "tipo de consumidor " + q.consumerType +
                                                   (q.consumerName.empty() ? "" : " - " + q.consumerName);
    line("Momento: " + pattern.format(q.date) + " às " + q.time + ", " + who);

    const json& period = answer.is_object() && answer.contains("periodo") ? answer["periodo"] : json();
    if (period.is_object()) {
        line("Vigência da tabela: " +
             RuleText::validity(member(period, "DTINIVGPREC"), member(period, "DTFINVGPREC"), pattern));
    } else {
        line("Vigência da tabela: nenhuma vigência da tabela cobre esta data; não há preço.");
    }
    line(dayLine(answer.is_object() && answer.contains("dia") ? answer["dia"] : json(), pattern.format(q.date)));

    std::optional<double> base = numberOf(answer, "base");
    line("Preço base: " + (base ? RuleText::money(*base) : std::string("não cadastrado")));

    const json& applied = answer.is_object() && answer.contains("aplicada") ? answer["aplicada"] : json();
    if (applied.is_object()) {
        line("Regra aplicada: " + rule(applied, pattern));
    } else {
        line("Regra aplicada: nenhuma; vale o preço base.");
    }
    std::optional<double> price = numberOf(answer, "preco");
    if (price) {
        const bool belowZero = answer.value("abaixo_de_zero", false);
        line("Preço final: " + RuleText::money(*price) + (belowZero ? " (o desconto excede o preço)" : ""));
        if (applied.is_object()) line("Visualiza: " + RuleText::display(member(applied, "IDVISUALIZA")));
    } else {
        line("Preço final: sem preço (não há preço base).");
    }

    // The applied rule is listed above; the others follow in the server's order.
    std::string others;
    const json& rules = answer.is_object() && answer.contains("regras") ? answer["regras"] : json();
    if (rules.is_array()) {
        for (const json& r : rules) {
            const std::string situation = member(r, "situacao");
            if (situation == "aplicada") continue;
            const std::string reason = member(r, "motivo");
            others += "  " + situation + (reason.empty() ? "" : " (" + reason + ")") + ": " +
                      rule(r.contains("linha") ? r["linha"] : json(), pattern) + "\n";
        }
    }
    if (others.empty()) {
        line("Outras regras do produto: nenhuma.");
    } else {
        line("Outras regras do produto:");
        out += others;
    }
    return out;
}

}  // namespace vnd
