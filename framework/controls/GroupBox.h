#pragma once
// A captioned frame that holds other controls.

#include "controls/Control.h"

namespace vol {

/// A group box: a container with a caption; it takes no focus itself.
class GroupBox : public Control {
public:
    GroupBox(Form& owner, Control* parent, std::string name)
        : Control(owner, parent, std::move(name), ControlKind::GroupBox) {}
};

}  // namespace vol
