#include "DatePattern.h"

#include <stdexcept>
#include <vector>

namespace wire {

namespace {

enum class Field { Literal, Day, Month, Year };

struct Token {
    Field field = Field::Literal;
    int width = 0;       // pattern letters: 1 or 2 for day and month, 2 or 4 for year
    char literal = 0;
};

constexpr std::size_t kMaxPatternLength = 32;

char lower(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; }
bool isAsciiLetter(char ch) { return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'); }
bool isDigit(char ch) { return ch >= '0' && ch <= '9'; }

std::vector<Token> tokenize(std::string_view pattern) {
    if (pattern.size() > kMaxPatternLength)
        throw std::invalid_argument("date pattern longer than 32 characters");
    std::vector<Token> tokens;
    bool seen[3] = {false, false, false};
    for (std::size_t i = 0; i < pattern.size();) {
        const char ch = pattern[i];
        if (!isAsciiLetter(ch)) {
            tokens.push_back({Field::Literal, 0, ch});
            ++i;
            continue;
        }
        std::size_t run = i;
        while (run < pattern.size() && lower(pattern[run]) == lower(ch)) ++run;
        const int width = static_cast<int>(run - i);
        Token token;
        token.width = width;
        switch (lower(ch)) {
        case 'd': token.field = Field::Day; break;
        case 'm': token.field = Field::Month; break;
        case 'y': token.field = Field::Year; break;
        default: throw std::invalid_argument("unknown letters in date pattern: " + std::string(pattern));
        }
        const bool yearWidth = width == 2 || width == 4;
        const bool dayMonthWidth = width == 1 || width == 2;
        if (token.field == Field::Year ? !yearWidth : !dayMonthWidth)
            throw std::invalid_argument("unknown letters in date pattern: " + std::string(pattern));
        bool& once = seen[static_cast<int>(token.field) - 1];
        if (once) throw std::invalid_argument("date pattern names a field twice: " + std::string(pattern));
        once = true;
        tokens.push_back(token);
        i = run;
    }
    if (!seen[0] || !seen[1] || !seen[2])
        throw std::invalid_argument("date pattern needs day, month and year: " + std::string(pattern));
    // A one-letter field is written with one or two digits; glued to the next field
    // ("dmyyyy") its end could not be found again, and reading back would not give the
    // date that was written.
    for (std::size_t k = 0; k + 1 < tokens.size(); ++k)
        if (tokens[k].field != Field::Literal && tokens[k].width == 1 &&
            (tokens[k + 1].field != Field::Literal || isDigit(tokens[k + 1].literal)))
            throw std::invalid_argument("one-letter date field needs a separator after it: " + std::string(pattern));
    return tokens;
}

void appendNumber(std::string& out, int value, int minDigits) {
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < minDigits) out.append(static_cast<std::size_t>(minDigits) - digits.size(), '0');
    out += digits;
}

}  // namespace

DatePattern::DatePattern(std::string_view pattern) : pattern_(pattern) { tokenize(pattern_); }

std::string DatePattern::format(const Date& date) const {
    // Writing a date that does not exist would hand the reader a text it must refuse or,
    // worse, read as another date; better to stop the writer.
    if (!date.valid()) throw std::invalid_argument("date does not exist: cannot be written");
    std::string out;
    for (const Token& t : tokenize(pattern_)) {
        switch (t.field) {
        case Field::Literal: out += t.literal; break;
        case Field::Day: appendNumber(out, date.day, t.width); break;
        case Field::Month: appendNumber(out, date.month, t.width); break;
        case Field::Year: appendNumber(out, t.width == 2 ? date.year % 100 : date.year, t.width); break;
        }
    }
    return out;
}

std::optional<Date> DatePattern::parse(std::string_view text) const {
    Date date;
    std::size_t i = 0;
    for (const Token& t : tokenize(pattern_)) {
        if (t.field == Field::Literal) {
            if (i >= text.size() || text[i] != t.literal) return std::nullopt;
            ++i;
            continue;
        }
        // "dd", "mm", "yy", "yyyy" take exactly their width; "d" and "m" one or two digits.
        const std::size_t most = t.width == 1 ? 2 : static_cast<std::size_t>(t.width);
        const std::size_t least = static_cast<std::size_t>(t.width);
        std::size_t n = 0;
        int value = 0;
        while (n < most && i + n < text.size() && isDigit(text[i + n])) value = value * 10 + (text[i + n++] - '0');
        if (n < least) return std::nullopt;
        i += n;
        switch (t.field) {
        case Field::Day: date.day = value; break;
        case Field::Month: date.month = value; break;
        case Field::Year: date.year = t.width == 2 ? 2000 + value : value; break;
        case Field::Literal: break;
        }
    }
    if (i != text.size() || !date.valid()) return std::nullopt;
    return date;
}

}  // namespace wire
