#include "controls/RadioButton.h"

namespace vol {

RadioButton::RadioButton(Form& owner, Control* parent, std::string name)
    : Control(owner, parent, std::move(name), ControlKind::RadioButton) {
    setTabStop(true);
}

void RadioButton::setChecked(bool on) {
    if (checked_ == on) return;
    checked_ = on;
    changed();
    if (!on) return;
    if (parent() != nullptr) {
        for (Control* sibling : parent()->children()) {
            if (sibling != this && sibling->kind() == ControlKind::RadioButton) {
                static_cast<RadioButton*>(sibling)->setChecked(false);
            }
        }
    }
    if (OnClick) OnClick(*this);
}

void RadioButton::click() { setChecked(true); }

}  // namespace vol
