#include "controls/Edit.h"

#include <algorithm>

namespace vol {

int utf8Length(const std::string& text) {
    int n = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) ++n;
    }
    return n;
}

void appendUtf8(std::string& text, char32_t ch) {
    if (ch < 0x80) {
        text.push_back(static_cast<char>(ch));
    } else if (ch < 0x800) {
        text.push_back(static_cast<char>(0xC0 | (ch >> 6)));
        text.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else if (ch < 0x10000) {
        text.push_back(static_cast<char>(0xE0 | (ch >> 12)));
        text.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    } else {
        text.push_back(static_cast<char>(0xF0 | (ch >> 18)));
        text.push_back(static_cast<char>(0x80 | ((ch >> 12) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | ((ch >> 6) & 0x3F)));
        text.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    }
}

std::size_t utf8Offset(const std::string& text, int pos) {
    int n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (n == pos) return i;
            ++n;
        }
    }
    return text.size();
}

Edit::Edit(Form& owner, Control* parent, std::string name, ControlKind kind)
    : Control(owner, parent, std::move(name), kind) {
    setTabStop(true);
}

void Edit::setText(const std::string& text) {
    storeText(text);
    caret_ = utf8Length(text_);
    allSelected_ = false;
}

void Edit::storeText(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    changed();
    if (OnChange) OnChange(*this);
}

void Edit::setMaxLength(int n) {
    maxLength_ = n;
    changed();
}

void Edit::setReadOnly(bool on) {
    readOnly_ = on;
    changed();
}

void Edit::setCaret(int pos) {
    caret_ = std::clamp(pos, 0, utf8Length(editText()));
    allSelected_ = false;
    changed();
}

void Edit::selectAll() {
    allSelected_ = true;
    caret_ = 0;
    changed();
}

bool Edit::typeChar(char32_t ch) {
    if (readOnly_ || ch < 0x20) return false;
    std::string next = allSelected_ ? std::string() : text_;
    int caret = allSelected_ ? 0 : std::min(caret_, utf8Length(next));
    if (maxLength_ > 0 && utf8Length(next) >= maxLength_) return false;
    std::string piece;
    appendUtf8(piece, ch);
    next.insert(utf8Offset(next, caret), piece);
    allSelected_ = false;
    caret_ = caret + 1;
    storeText(std::move(next));
    return true;
}

void Edit::backspace() {
    if (readOnly_) return;
    if (allSelected_) {
        clearByUser();
        return;
    }
    if (caret_ <= 0) return;
    std::string next = text_;
    std::size_t from = utf8Offset(next, caret_ - 1);
    std::size_t to = utf8Offset(next, caret_);
    next.erase(from, to - from);
    --caret_;
    storeText(std::move(next));
}

void Edit::deleteForward() {
    if (readOnly_) return;
    if (allSelected_) {
        clearByUser();
        return;
    }
    if (caret_ >= utf8Length(text_)) return;
    std::string next = text_;
    std::size_t from = utf8Offset(next, caret_);
    std::size_t to = utf8Offset(next, caret_ + 1);
    next.erase(from, to - from);
    storeText(std::move(next));
}

void Edit::clearByUser() {
    if (readOnly_) return;
    allSelected_ = false;
    caret_ = 0;
    storeText({});
}

}  // namespace vol
