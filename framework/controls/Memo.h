#pragma once
// A read-only text of several lines.

#include <string>

#include "controls/Control.h"

namespace vol {

/// A multi-line text the person reads, scrolls and copies but does not type into. It
/// takes the focus, so it can be reached and scrolled with the keyboard.
class Memo : public Control {
public:
    Memo(Form& owner, Control* parent, std::string name)
        : Control(owner, parent, std::move(name), ControlKind::Memo) {}

    /// The whole text, lines separated by "\n".
    const std::string& text() const { return text_; }
    void setText(std::string text) {
        if (text_ == text) return;
        text_ = std::move(text);
        changed();
    }
    void clear() { setText({}); }

private:
    std::string text_;
};

}  // namespace vol
