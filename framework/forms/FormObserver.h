#pragma once
// What a view of a form listens to.

namespace vol {

class Control;
class Form;

/// Receives every change of a form's model; a view mirrors the model through it. All
/// calls come on the user-interface thread, while the model is consistent.
class FormObserver {
public:
    virtual ~FormObserver() = default;
    /// A property of the control changed (text, state, caption, geometry...).
    virtual void controlChanged(Control& control) = 0;
    /// The focus moved; now is null when no control holds it.
    virtual void focusChanged(Control* now) = 0;
    /// A property of the form itself changed (caption, visibility, window state).
    virtual void formChanged(Form& form) = 0;
};

}  // namespace vol
