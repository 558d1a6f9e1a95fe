#pragma once
// A static text.

#include "controls/Control.h"

namespace vol {

/// Horizontal alignment of a label's caption.
enum class Alignment { Left, Center, Right };

/// A label: a caption drawn at its position; it takes no focus.
class Label : public Control {
public:
    Label(Form& owner, Control* parent, std::string name)
        : Control(owner, parent, std::move(name), ControlKind::Label) {}

    Alignment alignment() const { return alignment_; }
    void setAlignment(Alignment a) {
        alignment_ = a;
        changed();
    }

private:
    Alignment alignment_ = Alignment::Left;
};

}  // namespace vol
