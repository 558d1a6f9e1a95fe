#pragma once
// A bevelled container.

#include "controls/Control.h"

namespace vol {

/// The bevel of one edge ring of a panel.
enum class Bevel { None, Lowered, Raised };

/// A panel: a container drawn with an inner and an outer bevel; it takes no focus.
class Panel : public Control {
public:
    Panel(Form& owner, Control* parent, std::string name)
        : Control(owner, parent, std::move(name), ControlKind::Panel) {}

    Bevel bevelInner() const { return bevelInner_; }
    Bevel bevelOuter() const { return bevelOuter_; }
    void setBevels(Bevel inner, Bevel outer) {
        bevelInner_ = inner;
        bevelOuter_ = outer;
        changed();
    }

private:
    Bevel bevelInner_ = Bevel::None;
    Bevel bevelOuter_ = Bevel::Raised;
};

}  // namespace vol
