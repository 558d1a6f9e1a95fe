#include "controls/TDateEditPlus.h"

#include "forms/Application.h"
#include "protocol/DatePattern.h"
#include "text/DateText.h"
#include "units/Consiste.h"

namespace vol {

namespace {
wire::DatePattern currentPattern() {
    return wire::DatePattern(Application::instance().settings().shortDateFormat);
}
}  // namespace

TDateEditPlus::TDateEditPlus(Form& owner, Control* parent, std::string name)
    : MaskEdit(owner, parent, std::move(name), ControlKind::DateEdit) {
    for (std::size_t i = 0; i < weekdayNames_.size(); ++i) {
        weekdayNames_[i] = std::string(DateText::weekdayNames[i]);
    }
    setEditMask(DateText::editMask(currentPattern()));
}

std::string TDateEditPlus::text() const {
    std::string shown = MaskEdit::text();
    if (DateText::isBlank(shown, currentPattern())) return {};
    return shown;
}

std::optional<wire::Date> TDateEditPlus::date() const {
    std::string t = text();
    if (t.empty()) return std::nullopt;
    return DateText::dateFromEditText(t, currentPattern());
}

wire::Date TDateEditPlus::GetDate() const { return date().value_or(wire::Date{}); }

void TDateEditPlus::SetDate(const wire::Date& d) { setText(currentPattern().format(d)); }

void TDateEditPlus::Clear() { setText({}); }

void TDateEditPlus::CheckValidDate() {
    if (text().empty() || date().has_value()) return;
    setFocus();
    MensErro(std::string("'").append(MaskEdit::text()).append("' não é uma data válida."));
}

void TDateEditPlus::setWeekdayNames(std::array<std::string, 7> names) {
    weekdayNames_ = std::move(names);
    changed();
}

}  // namespace vol
