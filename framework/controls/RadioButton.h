#pragma once
// A radio button, exclusive among the radio buttons of one parent.

#include "controls/Control.h"

namespace vol {

/// A radio button. Checking it unchecks the other radio buttons of the same parent and
/// raises its OnClick; clicking a button that is already checked changes nothing.
class RadioButton : public Control {
public:
    RadioButton(Form& owner, Control* parent, std::string name);

    bool checked() const { return checked_; }
    /// Checking unchecks the siblings (they raise no event) and raises OnClick;
    /// unchecking by code only clears the mark.
    void setChecked(bool on);
    void click() override;

private:
    bool checked_ = false;
};

}  // namespace vol
