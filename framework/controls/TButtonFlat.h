#pragma once
// The flat toolbar button.

#include <string>

#include "controls/Control.h"

namespace vol {

/// A flat button of the side panel. It takes no focus, so clicking it leaves the focus
/// (and no exit event runs); a click raises OnClick. Its hint names its shortcut.
class TButtonFlat : public Control {
public:
    TButtonFlat(Form& owner, Control* parent, std::string name)
        : Control(owner, parent, std::move(name), ControlKind::FlatButton) {}

    /// The keyboard shortcut in the toolkit's portable text form, e.g. "F10".
    const std::string& shortcut() const { return shortcut_; }
    void setShortcut(std::string s) {
        shortcut_ = std::move(s);
        changed();
    }

private:
    std::string shortcut_;
};

}  // namespace vol
