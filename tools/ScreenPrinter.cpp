#include "ScreenPrinter.h"

#include <ostream>
#include <string>

#include "ScriptParser.h"
#include "controls/CheckBox.h"
#include "controls/DBGrid.h"
#include "controls/Edit.h"
#include "controls/Memo.h"
#include "controls/RadioButton.h"
#include "controls/RadioGroup.h"
#include "forms/Form.h"

namespace tools {

bool ScreenPrinter::enabledAsSeen(const vol::Control& control) {
    for (const vol::Control* c = &control; c != nullptr; c = c->parent()) {
        if (!c->enabled())
            return false;
    }
    return true;
}

bool ScreenPrinter::visibleAsSeen(const vol::Control& control) {
    for (const vol::Control* c = &control; c != nullptr; c = c->parent()) {
        if (!c->visible())
            return false;
    }
    return true;
}

std::optional<bool> ScreenPrinter::checkMark(const vol::Control& control) {
    if (auto* box = dynamic_cast<const vol::CheckBox*>(&control))
        return box->checked();
    if (auto* radio = dynamic_cast<const vol::RadioButton*>(&control))
        return radio->checked();
    return std::nullopt;
}

const char* ScreenPrinter::kindName(vol::ControlKind kind) {
    switch (kind) {
        case vol::ControlKind::Label:
            return "label";
        case vol::ControlKind::Edit:
            return "edit";
        case vol::ControlKind::MaskEdit:
            return "masked edit";
        case vol::ControlKind::DateEdit:
            return "date edit";
        case vol::ControlKind::NumberEdit:
            return "number edit";
        case vol::ControlKind::CheckBox:
            return "check box";
        case vol::ControlKind::RadioButton:
            return "radio button";
        case vol::ControlKind::RadioGroup:
            return "radio group";
        case vol::ControlKind::GroupBox:
            return "group box";
        case vol::ControlKind::Panel:
            return "panel";
        case vol::ControlKind::LookupButton:
            return "lookup button";
        case vol::ControlKind::FlatButton:
            return "flat button";
        case vol::ControlKind::Grid:
            return "grid";
        case vol::ControlKind::Memo:
            return "memo";
    }
    return "control";
}

void ScreenPrinter::dump(const vol::Form& form, bool active, std::ostream& out) {
    out << "  screen " << form.name() << (active ? " (active)" : " (not active)") << "\n";
    for (const vol::Control* c : form.controls()) {
        std::string value;
        if (auto* edit = dynamic_cast<const vol::Edit*>(c)) {
            value = "text=" + ScriptParser::quote(edit->text());
        } else if (std::optional<bool> checked = checkMark(*c)) {
            value = *checked ? "checked" : "unchecked";
        } else if (auto* group = dynamic_cast<const vol::RadioGroup*>(c)) {
            const int index = group->itemIndex();
            value = "itemIndex=" + std::to_string(index);
            if (index >= 0 && static_cast<std::size_t>(index) < group->items().size()) {
                value += " " + ScriptParser::quote(group->items()[static_cast<std::size_t>(index)]);
            }
        } else if (auto* grid = dynamic_cast<const vol::DBGrid*>(c)) {
            value = "rows=" + std::to_string(grid->totalRows()) + " loaded=" + std::to_string(grid->loadedRows()) +
                    " current=" + std::to_string(grid->currentRow() + 1) +
                    " selected=" + std::to_string(grid->selectedRows().size());
        } else if (auto* memo = dynamic_cast<const vol::Memo*>(c)) {
            value = "text=" + ScriptParser::quote(memo->text());
        } else if (!c->caption().empty()) {
            value = "caption=" + ScriptParser::quote(c->caption());
        }
        out << "  " << c->name() << " [" << kindName(c->kind()) << "]" << (value.empty() ? "" : " ")
            << value << (enabledAsSeen(*c) ? "" : " disabled")
            << (visibleAsSeen(*c) ? "" : " hidden") << (c->focused() ? " focus" : "") << "\n";
    }
}

}  // namespace tools
