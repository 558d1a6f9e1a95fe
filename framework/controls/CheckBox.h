#pragma once
// A check box.

#include "controls/Control.h"

namespace vol {

/// A check box. Every change of the check mark, by a click or by code, raises OnClick.
class CheckBox : public Control {
public:
    CheckBox(Form& owner, Control* parent, std::string name);

    bool checked() const { return checked_; }
    void setChecked(bool on);
    /// A click toggles the mark.
    void click() override;

private:
    bool checked_ = false;
};

}  // namespace vol
