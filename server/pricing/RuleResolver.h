#pragma once
// Which stored rule applies at a moment, and why every other row of the product does not.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "DayFacts.h"
#include "RuleRow.h"
#include "protocol/Date.h"

namespace server {

/// The moment a price is asked for.
struct Moment {
    wire::Date date;
    std::string time;          ///< "HHMM"
    std::string consumerType;  ///< the asked consumer type; "" = none asked (only T rows match)
    DayFacts day;              ///< the facts of `date` for the branch
};

/// Why a row is not a candidate, in the order the tests are made.
enum class OutReason { Validity, ConsumerType, Day, Window };
/// The steps of precedence between candidates, in order.
enum class Precedence { ConsumerType, Day, ValidFrom, ValidTo, Window, Start };
/// What became of a row at a moment.
enum class Situation { Applied, PassedOver, Out };

/// "fora da validade", "outro tipo de consumidor", "outro dia", "fora do horário".
std::string_view reasonText(OutReason reason);
/// "tipo de consumidor específico", "dia mais específico", "validade mais recente",
/// "validade mais curta", "horário mais estreito", "horário mais tarde".
std::string_view precedenceText(Precedence step);
/// "aplicada", "preterida", "fora".
std::string_view situationText(Situation situation);

/// Why `row` is not a candidate at the moment: the first test that fails of validity
/// (DTINIVALID <= date <= DTFINVALID), consumer type (the asked one or T), day (T, the
/// weekday digit, F on a holiday, V on an eve) and window (HRINI <= HHMM <= HRFIN as
/// four-digit texts, both ends included). nullopt: it is a candidate.
std::optional<OutReason> outReason(const Moment& moment, const RuleRow& row);

/// Precedence between two rows: whether `a` comes first, and the first step that decides.
struct Ranking {
    bool firstWins;
    Precedence step;
};

/// The precedence of a and b as if both applied at one moment: a specific consumer type
/// before T; IDDIA F before V before a weekday digit before T; the later DTINIVALID; the
/// earlier DTFINVALID; the narrower window (minutes from HRINI to HRFIN); the later HRINI.
/// nullopt only when they tie on every step, which two distinct rows that can both apply
/// at one moment never do.
std::optional<Ranking> rank(const RuleRow& a, const RuleRow& b);

/// The applied row among `rows` (rows of one product and period), or nullptr when none is
/// a candidate. Of rows tying on every step the first given. Allocates nothing.
const RuleRow* appliedRule(const Moment& moment, std::span<const RuleRow> rows);

/// A row and what became of it. out: set for Out rows. passedOver: for PassedOver rows,
/// the first step at which the applied row comes before it.
struct Verdict {
    const RuleRow* row;
    Situation situation;
    std::optional<OutReason> out;
    std::optional<Precedence> passedOver;
};

/// Every row with its verdict: the applied row first, then the passed-over rows in
/// precedence order, then the out rows in the order given (callers give them in key order).
/// The verdicts point into `rows`.
std::vector<Verdict> explainRules(const Moment& moment, std::span<const RuleRow> rows);

/// Whether two rows compete: of one branch, table, period and product, with different
/// keys, validity ranges sharing a day, windows sharing a minute, consumer types equal or
/// one T, and days that can meet (equal; either T; one F or V and the other a weekday
/// digit; one F and the other V).
bool competes(const RuleRow& a, const RuleRow& b);

}  // namespace server
