#pragma once
// Reads a screen's controls as a person sees them.

#include <iosfwd>
#include <optional>

#include "controls/Control.h"

namespace vol {
class Form;
}

namespace tools {

/// What a person can see of controls: enabled and visible as shown (a control inside a
/// disabled or hidden container is so too), check marks, and a printout of a whole form.
class ScreenPrinter {
  public:
    /// The control and every container around it are enabled.
    static bool enabledAsSeen(const vol::Control& control);
    /// The control and every container around it are visible.
    static bool visibleAsSeen(const vol::Control& control);
    /// The check mark of a check box or radio button; nullopt for other kinds.
    static std::optional<bool> checkMark(const vol::Control& control);
    /// The kind in words ("masked edit").
    static const char* kindName(vol::ControlKind kind);
    /// One line a control: name, kind, text / check mark / item index / caption, and
    /// "disabled", "hidden", "focus" where they hold.
    static void dump(const vol::Form& form, bool active, std::ostream& out);
};

}  // namespace tools
