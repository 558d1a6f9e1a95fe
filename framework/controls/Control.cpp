#include "controls/Control.h"

#include "forms/Form.h"

namespace vol {

Control::Control(Form& owner, Control* parent, std::string name, ControlKind kind)
    : Component(&owner, std::move(name)), kind_(kind), parent_(parent) {
    if (parent_ != nullptr) {
        parent_->children_.push_back(this);
    }
}

Form& Control::form() const { return *owner(); }

void Control::setCaption(std::string caption) {
    if (caption_ == caption) return;
    caption_ = std::move(caption);
    changed();
}

void Control::setGeometry(Rect r) {
    if (geometry_ == r) return;
    geometry_ = r;
    changed();
}

void Control::setFontRole(FontRole role) {
    fontRole_ = role;
    changed();
}

void Control::setColorRole(ColorRole role) {
    colorRole_ = role;
    changed();
}

void Control::setHint(std::string hint) {
    hint_ = std::move(hint);
    changed();
}

void Control::setEnabled(bool on) {
    if (enabled_ == on) return;
    enabled_ = on;
    changed();
}

void Control::setVisible(bool on) {
    if (visible_ == on) return;
    visible_ = on;
    changed();
}

void Control::setTabStop(bool on) {
    tabStop_ = on;
    changed();
}

void Control::setTabOrder(int order) {
    tabOrder_ = order;
    changed();
}

bool Control::acceptsFocus() const {
    switch (kind_) {
        case ControlKind::Edit:
        case ControlKind::MaskEdit:
        case ControlKind::DateEdit:
        case ControlKind::NumberEdit:
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
        case ControlKind::RadioGroup:
        case ControlKind::Grid:
        case ControlKind::Memo:
            return true;
        default:
            return false;
    }
}

bool Control::effectivelyEnabled() const {
    for (const Control* c = this; c != nullptr; c = c->parent_) {
        if (!c->enabled_ || !c->visible_) return false;
    }
    return true;
}

bool Control::canFocus() const { return acceptsFocus() && effectivelyEnabled(); }

bool Control::focused() const { return form().focusedControl() == this; }

void Control::setFocus() { form().focusControl(*this); }

void Control::click() {
    if (OnClick) OnClick(*this);
}

void Control::changed() { form().notifyChanged(*this); }

}  // namespace vol
