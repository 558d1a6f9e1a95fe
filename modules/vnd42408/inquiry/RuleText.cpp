#include "inquiry/RuleText.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace vnd {

namespace {

// The flags travel as numbers; "1" and "1.0" both mean set.
bool isSet(std::string_view flag) {
    std::optional<double> v = RuleText::number(flag);
    return v && *v != 0.0;
}

// Cents rounded half away from zero, taken from the shortest decimal text of the value
// so that 2.675 is 2,68 as it reads, not 2,67 as its binary neighbour would round.
long long cents(double value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (ec != std::errc{}) return std::llround(value * 100.0);
    std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    const auto dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    long long result = 0;
    for (char c : whole) result = result * 10 + (c - '0');
    for (std::size_t i = 0; i < 2; ++i) result = result * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
    if (fraction.size() > 2 && fraction[2] >= '5') ++result;
    return negative ? -result : result;
}

std::string grouped(long long whole) {
    std::string digits = std::to_string(whole);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += '.';
        out += digits[i];
    }
    return out;
}

std::string twoDecimals(double value, bool group) {
    const long long c = cents(value);
    const long long magnitude = c < 0 ? -c : c;
    char fraction[4];
    std::snprintf(fraction, sizeof fraction, "%02lld", magnitude % 100);
    const std::string whole = group ? grouped(magnitude / 100) : std::to_string(magnitude / 100);
    return (c < 0 ? "-" : "") + whole + "," + fraction;
}

}  // namespace

std::string RuleText::money(double value) { return "R$ " + twoDecimals(value, true); }

std::string RuleText::percent(double value) { return twoDecimals(value, true) + " %"; }

std::string RuleText::decimal(double value) { return twoDecimals(value, false); }

std::string RuleText::ruleCount(long count) {
    return grouped(count) + (count == 1 ? " regra" : " regras");
}

std::optional<double> RuleText::number(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<wire::Date> RuleText::date(std::string_view text) {
    if (text.size() < 10) return std::nullopt;
    return wire::Date::fromIso(text.substr(0, 10));
}

std::string RuleText::dateText(std::string_view text, const wire::DatePattern& pattern) {
    std::optional<wire::Date> d = date(text);
    return d ? pattern.format(*d) : std::string(text);
}

std::string RuleText::timestampText(std::string_view text, const wire::DatePattern& pattern) {
    std::optional<wire::Date> d = date(text);
    if (!d) return std::string(text);
    std::string out = pattern.format(*d);
    // "T" or a blank, then HH:MM.
    if (text.size() >= 16 && (text[10] == 'T' || text[10] == ' ') && text[13] == ':') {
        out += ' ';
        out.append(text.substr(11, 5));
    }
    return out;
}

std::string RuleText::timeText(std::string_view hhmm) {
    if (hhmm.size() != 4) return std::string(hhmm);
    return std::string(hhmm.substr(0, 2)) + ":" + std::string(hhmm.substr(2, 2));
}

std::string RuleText::window(std::string_view from, std::string_view to) {
    return timeText(from) + " às " + timeText(to);
}

std::string RuleText::validity(std::string_view from, std::string_view to, const wire::DatePattern& pattern) {
    return dateText(from, pattern) + " a " + dateText(to, pattern);
}

std::string RuleText::weekday(int number) {
    static const std::array<const char*, 7> names = {"Domingo", "Segunda", "Terça", "Quarta",
                                                     "Quinta",  "Sexta",   "Sábado"};
    if (number < 1 || number > 7) return std::to_string(number);
    return names[static_cast<std::size_t>(number - 1)];
}

std::string RuleText::day(std::string_view idDia) {
    if (idDia == "T") return "Todos os Dias";
    if (idDia == "F") return "Feriado";
    if (idDia == "V") return "Véspera de Feriado";
    if (idDia.size() == 1 && idDia[0] >= '1' && idDia[0] <= '7') return weekday(idDia[0] - '0');
    return std::string(idDia);
}

std::string RuleText::consumerType(std::string_view code) { return code == "T" ? "Todos" : std::string(code); }

std::string RuleText::adjustment(std::string_view idDescAcre) { return isSet(idDescAcre) ? "Acréscimo" : "Desconto"; }

std::string RuleText::form(std::string_view idValPerc) { return isSet(idValPerc) ? "Percentual" : "Valor"; }

std::string RuleText::amount(std::string_view idValPerc, std::string_view value) {
    std::optional<double> v = number(value);
    if (!v) return std::string(value);
    return isSet(idValPerc) ? percent(*v) : money(*v);
}

std::string RuleText::display(std::string_view idVisualiza) { return isSet(idVisualiza) ? "Não" : "Sim"; }

}  // namespace vnd
