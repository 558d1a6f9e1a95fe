#include "controls/CheckBox.h"

namespace vol {

CheckBox::CheckBox(Form& owner, Control* parent, std::string name)
    : Control(owner, parent, std::move(name), ControlKind::CheckBox) {
    setTabStop(true);
}

void CheckBox::setChecked(bool on) {
    if (checked_ == on) return;
    checked_ = on;
    changed();
    if (OnClick) OnClick(*this);
}

void CheckBox::click() { setChecked(!checked_); }

}  // namespace vol
