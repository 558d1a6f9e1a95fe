#include "controls/MaskEdit.h"

namespace vol {

MaskEdit::MaskEdit(Form& owner, Control* parent, std::string name, ControlKind kind)
    : Edit(owner, parent, std::move(name), kind) {}

void MaskEdit::setEditMask(const std::string& mask) {
    if (mask == engine_.mask()) return;
    std::string current = text();
    engine_ = MaskEngine(mask);
    // The stored edit text changes form with the mask even when the text read by code
    // stays the same, so it is rewritten without going through the change check.
    std::string next = engine_.empty() ? current : engine_.editTextFromText(current);
    bool differs = engine_.empty() ? false : engine_.text(next) != current;
    text_ = std::move(next);
    caret_ = 0;
    changed();
    if (differs && OnChange) OnChange(*this);
}

std::string MaskEdit::text() const {
    if (engine_.empty()) return text_;
    return engine_.text(text_);
}

void MaskEdit::setText(const std::string& text) {
    if (engine_.empty()) {
        Edit::setText(text);
        return;
    }
    storeText(engine_.editTextFromText(text));
    caret_ = 0;
    allSelected_ = false;
}

std::string MaskEdit::editText() const {
    if (engine_.empty()) return text_;
    return text_.empty() ? engine_.blankEditText() : text_;
}

std::string MaskEdit::rawText() const {
    if (engine_.empty()) return text_;
    return engine_.rawText(editText());
}

void MaskEdit::apply(const MaskEngine::Edit& e) {
    allSelected_ = false;
    caret_ = e.caret;
    storeText(e.editText);
    changed();
}

bool MaskEdit::typeChar(char32_t ch) {
    if (engine_.empty()) return Edit::typeChar(ch);
    if (readOnly() || ch < 0x20 || ch > 0x7E) return false;
    std::string base = editText();
    int caret = caret_;
    if (allSelected_) {
        base = engine_.clearRange(base, 0, engine_.length()).editText;
        caret = 0;
    }
    MaskEngine::Edit e = engine_.typeChar(base, caret, static_cast<char>(ch));
    if (!e.accepted) return false;
    apply(e);
    return true;
}

void MaskEdit::backspace() {
    if (engine_.empty()) return Edit::backspace();
    if (readOnly()) return;
    if (allSelected_) return clearByUser();
    apply(engine_.backspace(editText(), caret_));
}

void MaskEdit::deleteForward() {
    if (engine_.empty()) return Edit::deleteForward();
    if (readOnly()) return;
    if (allSelected_) return clearByUser();
    apply(engine_.deleteForward(editText(), caret_));
}

void MaskEdit::clearByUser() {
    if (engine_.empty()) return Edit::clearByUser();
    if (readOnly()) return;
    apply(engine_.clearRange(editText(), 0, engine_.length()));
}

}  // namespace vol
