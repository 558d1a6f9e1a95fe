#include "DateText.h"

#include <string_view>

#include "MaskEngine.h"

namespace vol {

namespace {

char lower(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; }
bool isAsciiLetter(char ch) { return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'); }

// Characters that mean something in a mask picture; a date separator that is one of them
// must be escaped to stay a literal.
constexpr std::string_view kMaskSpecials = "90#aAlLcC<>\\!;";

// True for a separator character of the pattern (anything not a pattern letter).
bool isSeparator(char ch, std::string_view pattern) {
    return !isAsciiLetter(ch) && pattern.find(ch) != std::string_view::npos;
}

}  // namespace

std::string DateText::editMask(const wire::DatePattern& pattern) {
    // The pattern was checked when it was built: only d, m and y runs of known widths.
    const std::string& p = pattern.pattern();
    std::string mask = "!";
    for (std::size_t i = 0; i < p.size();) {
        const char ch = p[i];
        if (!isAsciiLetter(ch)) {
            if (kMaskSpecials.find(ch) != std::string_view::npos) mask += '\\';
            mask += ch;
            ++i;
            continue;
        }
        std::size_t run = i;
        while (run < p.size() && lower(p[run]) == lower(ch)) ++run;
        // A one-letter day or month still needs two places for the days 10 to 31.
        const std::size_t places = lower(ch) == 'y' ? run - i : 2;
        mask.append(places, '9');
        i = run;
    }
    return mask + ";1; ";
}

std::string DateText::editText(const wire::Date& date, const wire::DatePattern& pattern) {
    return MaskEngine(editMask(pattern)).editTextFromText(pattern.format(date));
}

bool DateText::isBlank(std::string_view text, const wire::DatePattern& pattern) {
    for (const char ch : text)
        if (ch != ' ' && !isSeparator(ch, pattern.pattern())) return false;
    return true;
}

DateTextReading DateText::read(std::string_view text, const wire::DatePattern& pattern) {
    if (isBlank(text, pattern)) return {DateTextState::Empty, std::nullopt};

    // The edit right-aligns a short field (" 7/ 3/2026"), so blanks at a field's edges are
    // padding; a blank inside a field is a place the user left open and stays, to fail.
    const std::string_view p = pattern.pattern();
    const bool blankSeparates = p.find(' ') != std::string_view::npos;
    std::string cleaned;
    std::size_t start = 0;
    const auto addField = [&](std::string_view field) {
        if (!blankSeparates) {
            while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
            while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
        }
        cleaned += field;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != ' ' && isSeparator(text[i], p)) {
            addField(text.substr(start, i - start));
            cleaned += text[i];
            start = i + 1;
        }
    }
    addField(text.substr(start));

    if (auto date = pattern.parse(cleaned)) return {DateTextState::Valid, date};
    return {DateTextState::Invalid, std::nullopt};
}

std::optional<wire::Date> DateText::dateFromEditText(std::string_view text, const wire::DatePattern& pattern) {
    return read(text, pattern).date;
}

int DateText::weekday(const wire::Date& date) {
    if (!date.valid()) return -1;
    // 1970-01-01 was a Thursday (4); the remainder is taken non-negative for earlier dates.
    const long days = date.daysSinceEpoch();
    return static_cast<int>(((days % 7) + 7 + 4) % 7);
}

}  // namespace vol
