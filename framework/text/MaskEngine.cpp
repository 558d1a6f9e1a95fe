#include "MaskEngine.h"

#include <algorithm>
#include <utility>

namespace vol {

namespace {

// Classification is plain ASCII on purpose: one position holds one byte, so a byte of a
// multi-byte UTF-8 character must never be taken, or a letter could be cut in half.
bool isDigit(char ch) { return ch >= '0' && ch <= '9'; }
bool isLetter(char ch) { return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'); }
bool isPrintable(char ch) { return ch >= ' ' && ch <= '~'; }
char toUpper(char ch) { return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch; }
char toLower(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; }

}  // namespace

MaskEngine::MaskEngine(std::string_view mask) : mask_(mask) {
    // The picture ends at the first ';' that is not escaped; a "\;" is a literal ';'.
    std::size_t i = 0;
    Case forceCase = Case::Keep;
    for (; i < mask.size() && mask[i] != ';'; ++i) {
        const char ch = mask[i];
        Position p;
        p.forceCase = forceCase;
        switch (ch) {
        case '!': leadingBlanks_ = true; continue;
        case '>': forceCase = Case::Upper; continue;
        case '<':
            if (i + 1 < mask.size() && mask[i + 1] == '>') {
                forceCase = Case::Keep;
                ++i;
            } else {
                forceCase = Case::Lower;
            }
            continue;
        case '\\':
            if (i + 1 >= mask.size()) continue;  // a dangling escape has nothing to make literal
            p.kind = Kind::Literal;
            p.literal = mask[++i];
            break;
        case '9': p.kind = Kind::Digit; break;
        case '0': p.kind = Kind::Digit; p.required = true; break;
        case '#': p.kind = Kind::DigitOrSign; break;
        case 'a': p.kind = Kind::Alnum; break;
        case 'A': p.kind = Kind::Alnum; p.required = true; break;
        case 'l': p.kind = Kind::Letter; break;
        case 'L': p.kind = Kind::Letter; p.required = true; break;
        case 'c': p.kind = Kind::Any; break;
        case 'C': p.kind = Kind::Any; p.required = true; break;
        default: p.kind = Kind::Literal; p.literal = ch; break;
        }
        positions_.push_back(p);
    }
    // Second field: only an explicit "0" drops the literals from the text.
    if (i < mask.size()) {
        const std::size_t start = ++i;
        while (i < mask.size() && mask[i] != ';') ++i;
        saveLiterals_ = mask.substr(start, i - start) != "0";
    }
    if (i < mask.size() && i + 1 < mask.size()) blank_ = mask[i + 1];
}

bool MaskEngine::isLiteral(int pos) const {
    return pos >= 0 && pos < length() && positions_[static_cast<std::size_t>(pos)].kind == Kind::Literal;
}

bool MaskEngine::fits(const Position& p, char ch) const {
    switch (p.kind) {
    case Kind::Literal: return false;
    case Kind::Digit: return isDigit(ch);
    case Kind::DigitOrSign: return isDigit(ch) || ch == '+' || ch == '-';
    case Kind::Alnum: return isDigit(ch) || isLetter(ch);
    case Kind::Letter: return isLetter(ch);
    case Kind::Any: return isPrintable(ch);
    }
    return false;
}

char MaskEngine::forced(const Position& p, char ch) const {
    switch (p.forceCase) {
    case Case::Upper: return toUpper(ch);
    case Case::Lower: return toLower(ch);
    case Case::Keep: break;
    }
    return ch;
}

const MaskEngine::Position& MaskEngine::at(int pos) const {
    return positions_[static_cast<std::size_t>(pos)];
}

std::string MaskEngine::blankEditText() const {
    std::string out;
    out.reserve(positions_.size());
    for (const Position& p : positions_) out += p.kind == Kind::Literal ? p.literal : blank_;
    return out;
}

std::string MaskEngine::normalized(std::string_view editText) const {
    // Every operation accepts any string as an edit text: a short, long or foreign one is
    // brought to the mask's shape so that no position is ever read out of range.
    std::string out = blankEditText();
    for (int i = 0; i < length() && i < static_cast<int>(editText.size()); ++i) {
        const Position& p = at(i);
        const char ch = editText[static_cast<std::size_t>(i)];
        if (p.kind != Kind::Literal && ch != blank_ && fits(p, ch))
            out[static_cast<std::size_t>(i)] = forced(p, ch);
    }
    return out;
}

void MaskEngine::fillPlaces(std::string& editText, const std::vector<int>& places,
                            std::string_view chunk) const {
    // A character equal to the blank character (or a space) leaves its place unfilled; a
    // character that fits no place is dropped and the next one tried for the same place.
    const auto isGap = [this](char ch) { return ch == blank_ || ch == ' '; };
    const auto put = [&](int pos, char ch) {
        editText[static_cast<std::size_t>(pos)] = isGap(ch) ? blank_ : forced(at(pos), ch);
    };
    if (leadingBlanks_ && chunk.size() < places.size()) {
        // "!": a short text keeps its unfilled places in front, so fill from the right.
        auto c = chunk.rbegin();
        for (auto pos = places.rbegin(); pos != places.rend(); ++pos) {
            while (c != chunk.rend() && !isGap(*c) && !fits(at(*pos), *c)) ++c;
            if (c == chunk.rend()) break;
            put(*pos, *c++);
        }
        return;
    }
    auto c = chunk.begin();
    for (const int pos : places) {
        while (c != chunk.end() && !isGap(*c) && !fits(at(pos), *c)) ++c;
        if (c == chunk.end()) break;
        put(pos, *c++);
    }
}

std::string MaskEngine::editTextFromText(std::string_view text) const {
    if (empty()) return std::string(text);
    std::string out = blankEditText();

    bool hasLiterals = false;
    if (saveLiterals_) {
        for (const Position& p : positions_)
            if (p.kind == Kind::Literal && text.find(p.literal) != std::string_view::npos) hasLiterals = true;
    }
    if (!hasLiterals) {
        // A text without literals ("0830", or any text of a mask that does not save them)
        // fills the places as one run.
        std::vector<int> places;
        for (int i = 0; i < length(); ++i)
            if (at(i).kind != Kind::Literal) places.push_back(i);
        fillPlaces(out, places, text);
        return out;
    }

    // A text that holds the mask's literals ("8:30") is read group by group: the characters
    // between two literals belong to the places between them, so a short group does not
    // slide into the next one.
    std::size_t t = 0;
    int pos = 0;
    while (pos < length()) {
        if (at(pos).kind == Kind::Literal) {
            if (t < text.size() && text[t] == at(pos).literal) ++t;
            ++pos;
            continue;
        }
        std::vector<int> group;
        for (; pos < length() && at(pos).kind != Kind::Literal; ++pos) group.push_back(pos);
        std::size_t stop = text.size();
        if (pos < length()) stop = std::min(stop, text.find(at(pos).literal, t));
        fillPlaces(out, group, text.substr(t, stop - t));
        t = stop;
    }
    return out;
}

std::string MaskEngine::text(std::string_view editText) const {
    if (empty()) return std::string(editText);
    const std::string edit = normalized(editText);
    if (saveLiterals_) {
        std::string out = edit;
        std::replace(out.begin(), out.end(), blank_, ' ');
        // A literal that happens to equal the blank character must survive the replace.
        for (int i = 0; i < length(); ++i)
            if (at(i).kind == Kind::Literal) out[static_cast<std::size_t>(i)] = at(i).literal;
        return out;
    }
    std::string out;
    for (int i = 0; i < length(); ++i)
        if (at(i).kind != Kind::Literal) out += edit[static_cast<std::size_t>(i)] == blank_ ? ' ' : edit[static_cast<std::size_t>(i)];
    if (leadingBlanks_) {
        out.erase(0, std::min(out.size(), out.find_first_not_of(' ')));
    } else {
        const std::size_t last = out.find_last_not_of(' ');
        out.erase(last == std::string::npos ? 0 : last + 1);
    }
    return out;
}

std::string MaskEngine::rawText(std::string_view editText) const {
    if (empty()) return std::string(editText);
    const std::string edit = normalized(editText);
    std::string out;
    for (int i = 0; i < length(); ++i) {
        const char ch = edit[static_cast<std::size_t>(i)];
        if (at(i).kind != Kind::Literal && ch != blank_) out += ch;
    }
    return out;
}

bool MaskEngine::isComplete(std::string_view editText) const {
    if (empty()) return true;
    if (static_cast<int>(editText.size()) != length()) return false;
    const std::string edit = normalized(editText);
    for (int i = 0; i < length(); ++i)
        if (at(i).required && edit[static_cast<std::size_t>(i)] == blank_) return false;
    return true;
}

int MaskEngine::clampCaret(int caret, int size) { return std::clamp(caret, 0, size); }

MaskEngine::Edit MaskEngine::typeChar(std::string_view editText, int caret, char ch) const {
    if (empty()) {
        // An unmasked edit takes any character, overtyping at the caret or appending.
        std::string out(editText);
        const int here = clampCaret(caret, static_cast<int>(out.size()));
        if (here < static_cast<int>(out.size())) out[static_cast<std::size_t>(here)] = ch;
        else out += ch;
        return {std::move(out), here + 1, true};
    }
    std::string edit = normalized(editText);
    const int start = clampCaret(caret, length());
    int pos = start;
    if (pos < length() && at(pos).kind == Kind::Literal && at(pos).literal == ch)
        return {std::move(edit), pos + 1, true};
    while (pos < length() && at(pos).kind == Kind::Literal) ++pos;
    if (pos >= length() || !fits(at(pos), ch)) return {std::move(edit), start, false};
    edit[static_cast<std::size_t>(pos)] = forced(at(pos), ch);
    return {std::move(edit), pos + 1, true};
}

MaskEngine::Edit MaskEngine::backspace(std::string_view editText, int caret) const {
    if (empty()) {
        std::string out(editText);
        const int here = clampCaret(caret, static_cast<int>(out.size()));
        if (here == 0) return {std::move(out), 0, false};
        out.erase(static_cast<std::size_t>(here - 1), 1);
        return {std::move(out), here - 1, true};
    }
    std::string edit = normalized(editText);
    const int start = clampCaret(caret, length());
    int pos = start - 1;
    while (pos >= 0 && at(pos).kind == Kind::Literal) --pos;
    if (pos < 0) return {std::move(edit), start, false};
    edit[static_cast<std::size_t>(pos)] = blank_;
    return {std::move(edit), pos, true};
}

MaskEngine::Edit MaskEngine::deleteForward(std::string_view editText, int caret) const {
    if (empty()) {
        std::string out(editText);
        const int here = clampCaret(caret, static_cast<int>(out.size()));
        if (here >= static_cast<int>(out.size())) return {std::move(out), here, false};
        out.erase(static_cast<std::size_t>(here), 1);
        return {std::move(out), here, true};
    }
    std::string edit = normalized(editText);
    const int start = clampCaret(caret, length());
    // Delete on a literal reaches the place behind it, as the user sees the literal as
    // part of the frame, not as something to delete.
    int pos = start;
    while (pos < length() && at(pos).kind == Kind::Literal) ++pos;
    if (pos >= length()) return {std::move(edit), start, false};
    edit[static_cast<std::size_t>(pos)] = blank_;
    return {std::move(edit), start, true};
}

MaskEngine::Edit MaskEngine::clearRange(std::string_view editText, int from, int to) const {
    if (from > to) std::swap(from, to);
    if (empty()) {
        std::string out(editText);
        const int size = static_cast<int>(out.size());
        from = clampCaret(from, size);
        to = clampCaret(to, size);
        out.erase(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
        return {std::move(out), from, true};
    }
    std::string edit = normalized(editText);
    from = clampCaret(from, length());
    to = clampCaret(to, length());
    for (int pos = from; pos < to; ++pos)
        if (at(pos).kind != Kind::Literal) edit[static_cast<std::size_t>(pos)] = blank_;
    return {std::move(edit), from, true};
}

}  // namespace vol
