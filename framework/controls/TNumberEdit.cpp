#include "controls/TNumberEdit.h"

#include "forms/Application.h"
#include "text/NumberFormat.h"

namespace vol {

TNumberEdit::TNumberEdit(Form& owner, Control* parent, std::string name)
    : Edit(owner, parent, std::move(name), ControlKind::NumberEdit) {}

char TNumberEdit::separator() const { return Application::instance().settings().decimalSeparator; }

double TNumberEdit::GetNumber() const {
    return NumberFormat::parse(text_, separator()).value_or(0.0);
}

bool TNumberEdit::hasNumber() const { return NumberFormat::parse(text_, separator()).has_value(); }

void TNumberEdit::SetNumber(double value) {
    setText(NumberFormat::format(value, decimals_, separator()));
}

bool TNumberEdit::typeChar(char32_t ch) {
    if (readOnly() || ch > 0x7E) return false;
    // Without thousands separators a point can only mean the decimal separator: taken as
    // the point, "12.5" would silently become 125.
    const char key = NumberFormat::decimalKey(static_cast<char>(ch), separator());
    std::string base = allSelected_ ? std::string() : text_;
    int caret = allSelected_ ? 0 : caret_;
    if (!NumberFormat::acceptsKey(base, caret, key, separator(), decimals_)) {
        return false;
    }
    return Edit::typeChar(static_cast<unsigned char>(key));
}

void TNumberEdit::focusLeft() {
    // The amount is shown with its decimals once the user is done with it; a text that
    // is not a number is left for the checks to report.
    if (auto n = NumberFormat::parse(text_, separator())) {
        setText(NumberFormat::format(*n, decimals_, separator()));
    }
}

}  // namespace vol
