#include "forms/UserInput.h"

#include <algorithm>
#include <string>
#include <vector>

#include "controls/DBGrid.h"
#include "controls/Edit.h"
#include "controls/RadioButton.h"
#include "controls/RadioGroup.h"
#include "controls/TBtnPesquisa.h"
#include "controls/TButtonFlat.h"
#include "forms/Application.h"
#include "forms/Form.h"

namespace vol {

bool UserInput::focus(Control& control) {
    return app_.runAction([&] { control.setFocus(); });
}

void UserInput::enterByKeyboard(Control* next) {
    // The form selects an edit's text wherever the focus lands, the control left included
    // when its exit check fails.
    if (next != nullptr) next->setFocus();
}

void UserInput::moveAmongRadios(Control& focused, bool forward) {
    if (focused.kind() == ControlKind::RadioGroup) {
        auto& group = static_cast<RadioGroup&>(focused);
        const int count = static_cast<int>(group.items().size());
        const int index = group.itemIndex();
        int next = index < 0 ? 0 : index + (forward ? 1 : -1);
        if (next >= 0 && next < count && next != index) group.setItemIndex(next);
        return;
    }
    if (focused.kind() != ControlKind::RadioButton || focused.parent() == nullptr) return;
    // The radio buttons of one parent are one group, in their tab order.
    std::vector<Control*> group;
    for (Control* c : focused.parent()->children()) {
        if (c->kind() == ControlKind::RadioButton && (c == &focused || c->canFocus())) group.push_back(c);
    }
    std::stable_sort(group.begin(), group.end(),
                     [](const Control* a, const Control* b) { return a->tabOrder() < b->tabOrder(); });
    auto it = std::find(group.begin(), group.end(), &focused);
    if (forward ? it + 1 >= group.end() : it == group.begin()) return;
    Control* next = forward ? *(it + 1) : *(it - 1);
    next->setFocus();
    if (focused.form().focusedControl() == next) next->click();
}

bool UserInput::tab(Form& form, bool forward) {
    return app_.runAction([&] { enterByKeyboard(form.nextTabStop(forward)); });
}

namespace {

// The code points of a UTF-8 text.
std::u32string decodeUtf8(const std::string& text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        char32_t cp = c;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra > 0) cp = c & (0x3F >> extra);
        for (int k = 1; k <= extra && i + static_cast<std::size_t>(k) < text.size(); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0x3F);
        }
        i += static_cast<std::size_t>(extra) + 1;
        out.push_back(cp);
    }
    return out;
}

}  // namespace

bool UserInput::type(Edit& edit, const std::string& text) {
    Form& form = edit.form();
    return app_.runAction([&] {
        edit.setFocus();
        // An exit handler that failed keeps the focus elsewhere: the person cannot type.
        if (form.focusedControl() != &edit) return;
        edit.clearByUser();
        for (char32_t ch : decodeUtf8(text)) edit.typeChar(ch);
    });
}

bool UserInput::typeKeys(Form& form, const std::string& text) {
    bool ran = true;
    for (char32_t ch : decodeUtf8(text)) ran = typeChar(form, ch) && ran;
    return ran;
}

bool UserInput::typeChar(Form& form, char32_t ch, bool* accepted) {
    bool took = false;
    const bool ran = app_.runAction([&] {
        if (auto* edit = dynamic_cast<Edit*>(form.focusedControl())) took = edit->typeChar(ch);
    });
    if (accepted != nullptr) *accepted = took;
    return ran;
}

bool UserInput::selectRows(DBGrid& grid, const std::vector<int>& rows) {
    return app_.runAction([&] {
        if (!grid.focused()) {
            grid.setFocus();
            if (!grid.focused()) return;
        }
        if (!rows.empty()) grid.ensureLoaded(*std::max_element(rows.begin(), rows.end()));
        grid.setSelectedRows(rows);
    });
}

bool UserInput::fetchMore(DBGrid& grid) {
    return app_.runAction([&] { grid.fetchMore(); });
}

bool UserInput::key(Form& form, Key k) {
    return app_.runAction([&] {
        Control* focused = form.focusedControl();
        auto* edit = dynamic_cast<Edit*>(focused);
        switch (k) {
            case Key::Tab:
            case Key::Enter:
                enterByKeyboard(form.nextTabStop(true));
                break;
            case Key::BackTab:
                enterByKeyboard(form.nextTabStop(false));
                break;
            case Key::Backspace:
                if (edit != nullptr) edit->backspace();
                break;
            case Key::Delete:
                if (edit != nullptr) edit->deleteForward();
                if (auto* grid = dynamic_cast<DBGrid*>(focused); grid != nullptr && grid->OnDeleteKey) {
                    grid->OnDeleteKey(*grid);
                }
                break;
            case Key::Left:
            case Key::Right:
                if (edit != nullptr) {
                    edit->setCaret(edit->caret() + (k == Key::Right ? 1 : -1));
                    break;
                }
                [[fallthrough]];
            case Key::Up:
            case Key::Down:
                if (focused != nullptr) moveAmongRadios(*focused, k == Key::Right || k == Key::Down);
                break;
            case Key::Home:
                if (edit != nullptr) edit->setCaret(0);
                break;
            case Key::End:
                if (edit != nullptr) edit->setCaret(1 << 20);
                break;
            case Key::F2:
                if (focused != nullptr) {
                    if (TBtnPesquisa* button = lookupButtonFor(*focused)) button->click();
                }
                break;
            case Key::Space:
                if (focused != nullptr && (focused->kind() == ControlKind::CheckBox ||
                                           focused->kind() == ControlKind::RadioButton)) {
                    focused->click();
                }
                if (focused != nullptr && focused->kind() == ControlKind::RadioGroup) {
                    auto* group = static_cast<RadioGroup*>(focused);
                    if (group->itemIndex() < 0 && !group->items().empty()) group->setItemIndex(0);
                }
                break;
        }
    });
}

bool UserInput::selectAll(Edit& edit) {
    return app_.runAction([&] { edit.selectAll(); });
}

bool UserInput::placeCaret(Edit& edit, int position) {
    return app_.runAction([&] { edit.setCaret(position); });
}

bool UserInput::click(Control& control) {
    Form& form = control.form();
    return app_.runAction([&] {
        if (control.acceptsFocus()) {
            control.setFocus();
            if (form.focusedControl() != &control) return;
        }
        control.click();
    });
}

bool UserInput::selectItem(RadioGroup& group, int index) {
    Form& form = group.form();
    return app_.runAction([&] {
        group.setFocus();
        if (form.focusedControl() != &group) return;
        group.setItemIndex(index);
    });
}

bool UserInput::shortcut(Form& form, const std::string& keyName) {
    if (keyName.empty()) return false;
    for (Control* c : form.controls()) {
        if (c->kind() != ControlKind::FlatButton || !c->effectivelyEnabled()) continue;
        if (static_cast<TButtonFlat*>(c)->shortcut() == keyName) {
            app_.runAction([c] { c->click(); });
            return true;
        }
    }
    return false;
}

bool UserInput::activate(Form& form) {
    return app_.runAction([&] { app_.activate(form); });
}

bool UserInput::deactivate() {
    return app_.runAction([&] { app_.deactivate(); });
}

bool UserInput::close(Form& form) {
    return app_.runAction([&] { form.close(); });
}

TBtnPesquisa* UserInput::lookupButtonFor(Control& control) {
    for (Control* c : control.form().controls()) {
        if (c->kind() != ControlKind::LookupButton || !c->effectivelyEnabled()) continue;
        auto* button = static_cast<TBtnPesquisa*>(c);
        if (button->Associate == &control) return button;
    }
    return nullptr;
}

}  // namespace vol
