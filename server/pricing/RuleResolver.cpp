#include "RuleResolver.h"

#include <algorithm>
#include <limits>

namespace server {

namespace {

bool isEveryType(const std::string& consumerType) {
    return consumerType.size() == 1 && consumerType[0] == 'T';
}

bool isWeekdayDigit(char day) {
    return day >= '1' && day <= '7';
}

// Step 2's order: F, V, a weekday digit, T.
int dayRank(char day) {
    switch (day) {
        case 'F':
            return 0;
        case 'V':
            return 1;
        case 'T':
            return 3;
        default:
            return isWeekdayDigit(day) ? 2 : 4;
    }
}

// Minutes since midnight of an "HHMM" text; nullopt for anything else.
std::optional<int> minutesOf(std::string_view hhmm) {
    if (hhmm.size() != 4) {
        return std::nullopt;
    }
    for (char c : hhmm) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    return ((hhmm[0] - '0') * 10 + (hhmm[1] - '0')) * 60 + (hhmm[2] - '0') * 10 + (hhmm[3] - '0');
}

// The window's width; a window that does not read counts as the widest, so that the
// order stays total and such a row never wins on its window.
int windowWidth(const RuleRow& row) {
    const auto start = minutesOf(row.timeStart);
    const auto end = minutesOf(row.timeEnd);
    return start && end ? *end - *start : std::numeric_limits<int>::max();
}

// The moment read once, for the many rows tested against it.
struct MomentKey {
    explicit MomentKey(const Moment& m)
        : date(m.date),
          time(m.time),
          consumerType(m.consumerType),
          weekday(static_cast<char>('0' + m.day.weekday)),
          holiday(m.day.holiday.has_value()),
          eve(m.day.eve.has_value()) {}

    const wire::Date& date;
    std::string_view time;
    std::string_view consumerType;
    char weekday;
    bool holiday;
    bool eve;
};

std::optional<OutReason> outAt(const MomentKey& m, const RuleRow& r) {
    if (m.date < r.validFrom || r.validTo < m.date) {
        return OutReason::Validity;
    }
    // No type asked: only the rows for every type; an empty stored type is not "any".
    if (!isEveryType(r.consumerType) &&
        (m.consumerType.empty() || m.consumerType != r.consumerType)) {
        return OutReason::ConsumerType;
    }
    const bool dayMatches = r.day == 'T' || r.day == m.weekday || (r.day == 'F' && m.holiday) ||
                            (r.day == 'V' && m.eve);
    if (!dayMatches) {
        return OutReason::Day;
    }
    if (m.time < std::string_view(r.timeStart) || std::string_view(r.timeEnd) < m.time) {
        return OutReason::Window;
    }
    return std::nullopt;
}

bool comesBefore(const RuleRow& a, const RuleRow& b) {
    const auto r = rank(a, b);
    return r && r->firstWins;
}

bool daysCanMeet(char a, char b) {
    if (a == b || a == 'T' || b == 'T') {
        return true;
    }
    const bool aHolidayKind = a == 'F' || a == 'V';
    const bool bHolidayKind = b == 'F' || b == 'V';
    // A holiday or an eve falls on some weekday, and one day can be a holiday and an eve.
    return (aHolidayKind && (isWeekdayDigit(b) || bHolidayKind)) ||
           (bHolidayKind && isWeekdayDigit(a));
}

// Closed ranges that share a point; an empty range (start after end) shares none.
template <typename T>
bool overlap(const T& aFrom, const T& aTo, const T& bFrom, const T& bTo) {
    return !(aTo < aFrom) && !(bTo < bFrom) && !(aTo < bFrom) && !(bTo < aFrom);
}

}  // namespace

std::string_view reasonText(OutReason reason) {
    switch (reason) {
        case OutReason::Validity:
            return "fora da validade";
        case OutReason::ConsumerType:
            return "outro tipo de consumidor";
        case OutReason::Day:
            return "outro dia";
        case OutReason::Window:
            return "fora do horário";
    }
    return {};
}

std::string_view precedenceText(Precedence step) {
    switch (step) {
        case Precedence::ConsumerType:
            return "tipo de consumidor específico";
        case Precedence::Day:
            return "dia mais específico";
        case Precedence::ValidFrom:
            return "validade mais recente";
        case Precedence::ValidTo:
            return "validade mais curta";
        case Precedence::Window:
            return "horário mais estreito";
        case Precedence::Start:
            return "horário mais tarde";
    }
    return {};
}

std::string_view situationText(Situation situation) {
    switch (situation) {
        case Situation::Applied:
            return "aplicada";
        case Situation::PassedOver:
            return "preterida";
        case Situation::Out:
            return "fora";
    }
    return {};
}

std::optional<OutReason> outReason(const Moment& moment, const RuleRow& row) {
    return outAt(MomentKey(moment), row);
}

std::optional<Ranking> rank(const RuleRow& a, const RuleRow& b) {
    const bool aEvery = isEveryType(a.consumerType);
    if (aEvery != isEveryType(b.consumerType)) {
        return Ranking{!aEvery, Precedence::ConsumerType};
    }
    const int aDay = dayRank(a.day);
    const int bDay = dayRank(b.day);
    if (aDay != bDay) {
        return Ranking{aDay < bDay, Precedence::Day};
    }
    if (a.validFrom != b.validFrom) {
        return Ranking{b.validFrom < a.validFrom, Precedence::ValidFrom};
    }
    if (a.validTo != b.validTo) {
        return Ranking{a.validTo < b.validTo, Precedence::ValidTo};
    }
    // Only rows alike in everything above read their windows.
    const int aWidth = windowWidth(a);
    const int bWidth = windowWidth(b);
    if (aWidth != bWidth) {
        return Ranking{aWidth < bWidth, Precedence::Window};
    }
    if (a.timeStart != b.timeStart) {
        return Ranking{b.timeStart < a.timeStart, Precedence::Start};
    }
    return std::nullopt;
}

const RuleRow* appliedRule(const Moment& moment, std::span<const RuleRow> rows) {
    const MomentKey key(moment);
    const RuleRow* best = nullptr;
    for (const RuleRow& row : rows) {
        if (!outAt(key, row) && (best == nullptr || comesBefore(row, *best))) {
            best = &row;
        }
    }
    return best;
}

std::vector<Verdict> explainRules(const Moment& moment, std::span<const RuleRow> rows) {
    const MomentKey key(moment);
    std::vector<Verdict> verdicts;
    verdicts.reserve(rows.size());
    std::vector<Verdict> outs;
    for (const RuleRow& row : rows) {
        if (const auto reason = outAt(key, row)) {
            outs.push_back({&row, Situation::Out, reason, std::nullopt});
        } else {
            verdicts.push_back({&row, Situation::PassedOver, std::nullopt, std::nullopt});
        }
    }
    // Stable, so that rows tying on every step keep the order given, as appliedRule does.
    std::stable_sort(verdicts.begin(), verdicts.end(), [](const Verdict& a, const Verdict& b) {
        return comesBefore(*a.row, *b.row);
    });
    if (!verdicts.empty()) {
        const RuleRow& applied = *verdicts.front().row;
        verdicts.front().situation = Situation::Applied;
        for (auto it = verdicts.begin() + 1; it != verdicts.end(); ++it) {
            if (const auto r = rank(applied, *it->row); r && r->firstWins) {
                it->passedOver = r->step;
            }
        }
    }
    verdicts.insert(verdicts.end(), outs.begin(), outs.end());
    return verdicts;
}

bool competes(const RuleRow& a, const RuleRow& b) {
    if (a.branch != b.branch || a.table != b.table || a.periodStart != b.periodStart ||
        a.product != b.product || a.sameKey(b)) {
        return false;
    }
    const bool typesMeet = a.consumerType == b.consumerType || isEveryType(a.consumerType) ||
                           isEveryType(b.consumerType);
    return typesMeet && daysCanMeet(a.day, b.day) &&
           overlap(a.validFrom, a.validTo, b.validFrom, b.validTo) &&
           overlap(std::string_view(a.timeStart), std::string_view(a.timeEnd),
                   std::string_view(b.timeStart), std::string_view(b.timeEnd));
}

}  // namespace server
