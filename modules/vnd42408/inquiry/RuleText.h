#pragma once
// How the rules' values read on the inquiry screen, in its explanation and its export.

#include <optional>
#include <string>
#include <string_view>

#include "protocol/Date.h"
#include "protocol/DatePattern.h"

namespace vnd {

/// The texts of stored rule values, Brazilian style. Pure functions: no I/O, no state.
/// Values arrive as the server's packets carry them (numbers and flags as number texts,
/// dates as ISO texts, times as "HHMM"); a value that cannot be read is shown as it came,
/// never dropped.
class RuleText {
public:
    /// "R$ 1.234,56": grouped thousands, two decimals rounded half away from zero.
    static std::string money(double value);
    /// "10,00 %".
    static std::string percent(double value);
    /// A decimal number with two decimals and "," as separator, no grouping ("1234,56"),
    /// as spreadsheets of Brazilian offices read it.
    static std::string decimal(double value);
    /// "1.234 regras", "1 regra".
    static std::string ruleCount(long count);
    /// A number read from a packet's text ("2", "10.5", "1e2"); nullopt when it is not one.
    static std::optional<double> number(std::string_view text);
    /// A date read from a packet's text: ISO, possibly followed by a time.
    static std::optional<wire::Date> date(std::string_view text);
    /// The date in the pattern, or the text as it came when it is no date.
    static std::string dateText(std::string_view text, const wire::DatePattern& pattern);
    /// A moment ("2026-02-01T10:30:00Z", "2026-02-01 10:30:00") as "01/02/2026 10:30"
    /// (the date alone when it has no time).
    static std::string timestampText(std::string_view text, const wire::DatePattern& pattern);
    /// "0800" as "08:00".
    static std::string timeText(std::string_view hhmm);
    /// "08:00 às 12:00".
    static std::string window(std::string_view from, std::string_view to);
    /// "01/02/2026 a 28/02/2026".
    static std::string validity(std::string_view from, std::string_view to, const wire::DatePattern& pattern);
    /// The day of a rule as a word: T "Todos os Dias", F "Feriado", V "Véspera de
    /// Feriado", 1 "Domingo" … 7 "Sábado".
    static std::string day(std::string_view idDia);
    /// The day word of a weekday number 1 (Sunday) … 7 (Saturday).
    static std::string weekday(int number);
    /// The consumer type: "Todos" for T, else the code.
    static std::string consumerType(std::string_view code);
    /// "Desconto" (0) or "Acréscimo" (1).
    static std::string adjustment(std::string_view idDescAcre);
    /// "Valor" (0) or "Percentual" (1).
    static std::string form(std::string_view idValPerc);
    /// The amount as money (value) or percentage (percentage): "R$ 2,00", "10,00 %".
    static std::string amount(std::string_view idValPerc, std::string_view value);
    /// The display option as the registration screen's radio group numbers it: 0 "Sim",
    /// 1 "Não".
    static std::string display(std::string_view idVisualiza);
};

}  // namespace vnd
