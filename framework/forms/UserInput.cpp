#include "forms/UserInput.h"

#include "controls/Edit.h"
#include "controls/RadioGroup.h"
#include "controls/TBtnPesquisa.h"
#include "controls/TButtonFlat.h"
#include "forms/Application.h"
#include "forms/Form.h"

namespace vol {

bool UserInput::focus(Control& control) {
    return app_.runAction([&] { control.setFocus(); });
}

bool UserInput::tab(Form& form, bool forward) {
    return app_.runAction([&] {
        if (Control* next = form.nextTabStop(forward)) next->setFocus();
    });
}

bool UserInput::type(Edit& edit, const std::string& text) {
    Form& form = edit.form();
    return app_.runAction([&] {
        edit.setFocus();
        // An exit handler that failed keeps the focus elsewhere: the person cannot type.
        if (form.focusedControl() != &edit) return;
        edit.clearByUser();
        for (std::size_t i = 0; i < text.size();) {
            // Decode one UTF-8 character.
            auto c = static_cast<unsigned char>(text[i]);
            char32_t cp = c;
            int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
            if (extra > 0) cp = c & (0x3F >> extra);
            for (int k = 1; k <= extra && i + static_cast<std::size_t>(k) < text.size(); ++k) {
                cp = (cp << 6) | (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0x3F);
            }
            i += static_cast<std::size_t>(extra) + 1;
            edit.typeChar(cp);
        }
    });
}

bool UserInput::typeChar(Form& form, char32_t ch) {
    return app_.runAction([&] {
        if (auto* edit = dynamic_cast<Edit*>(form.focusedControl())) edit->typeChar(ch);
    });
}

bool UserInput::key(Form& form, Key k) {
    return app_.runAction([&] {
        Control* focused = form.focusedControl();
        auto* edit = dynamic_cast<Edit*>(focused);
        switch (k) {
            case Key::Tab:
            case Key::Enter:
                if (Control* next = form.nextTabStop(true)) next->setFocus();
                break;
            case Key::BackTab:
                if (Control* prev = form.nextTabStop(false)) prev->setFocus();
                break;
            case Key::Backspace:
                if (edit != nullptr) edit->backspace();
                break;
            case Key::Delete:
                if (edit != nullptr) edit->deleteForward();
                break;
            case Key::Left:
                if (edit != nullptr) edit->setCaret(edit->caret() - 1);
                break;
            case Key::Right:
                if (edit != nullptr) edit->setCaret(edit->caret() + 1);
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
    return app_.runAction([&] {
        for (Control* c : form.controls()) {
            if (c->kind() != ControlKind::FlatButton || !c->effectivelyEnabled()) continue;
            if (static_cast<TButtonFlat*>(c)->shortcut() == keyName) {
                c->click();
                return;
            }
        }
    });
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
