#pragma once
// The flat toolbar button.

#include <string>

#include "controls/Control.h"

namespace vol {

/// The picture a flat button shows above its caption: what the button does.
enum class ButtonGlyph { Confirm, Search, Price, Remove, History, Export };

/// A flat button of the side panel. It takes no focus, so clicking it leaves the focus
/// (and no exit event runs); a click raises OnClick. Its hint names its shortcut, and the
/// button shows its key beside the glyph.
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
    /// The key the button shows: the one set, else its shortcut. A button whose action is
    /// reached by a key elsewhere (Del in a list) shows that key without owning it.
    const std::string& keyLabel() const { return keyLabel_.empty() ? shortcut_ : keyLabel_; }
    void setKeyLabel(std::string key) {
        keyLabel_ = std::move(key);
        changed();
    }
    ButtonGlyph glyph() const { return glyph_; }
    void setGlyph(ButtonGlyph glyph) {
        glyph_ = glyph;
        changed();
    }

private:
    std::string shortcut_;
    std::string keyLabel_;
    ButtonGlyph glyph_ = ButtonGlyph::Confirm;
};

}  // namespace vol
