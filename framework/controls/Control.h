#pragma once
// The toolkit-neutral model of one visual control.

#include <functional>
#include <string>
#include <vector>

#include "forms/Component.h"

namespace vol {

class Form;

/// Every kind of control a screen can hold.
enum class ControlKind {
    Label,
    Edit,
    MaskEdit,
    DateEdit,
    NumberEdit,
    CheckBox,
    RadioButton,
    RadioGroup,
    GroupBox,
    Panel,
    LookupButton,
    FlatButton,
    Grid,
    Memo
};

/// Font roles: the form's font, the bold caption font of groups and header labels, or the
/// form's font set back to regular inside a bold group.
enum class FontRole { Inherited, Bold, Regular };

/// Colour roles: the toolkit's default, the info background of entry fields, or the
/// button face of read-only name fields.
enum class ColorRole { Default, InfoBackground, ButtonFace };

/// Position and size in the parent's client area.
struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Rect&) const = default;
};

/// The one event signature of the screen's handlers: the component that raised it.
using NotifyEvent = std::function<void(Component& sender)>;

/// A visual control of a form. The form owns it; the parent only lists it. Every change
/// of a property is reported to the form's observers, so a view can mirror the model.
class Control : public Component {
public:
    Control(Form& owner, Control* parent, std::string name, ControlKind kind);

    ControlKind kind() const { return kind_; }
    Form& form() const;
    Control* parent() const { return parent_; }
    const std::vector<Control*>& children() const { return children_; }

    const std::string& caption() const { return caption_; }
    void setCaption(std::string caption);
    const Rect& geometry() const { return geometry_; }
    void setGeometry(Rect r);
    FontRole fontRole() const { return fontRole_; }
    void setFontRole(FontRole role);
    ColorRole colorRole() const { return colorRole_; }
    void setColorRole(ColorRole role);
    const std::string& hint() const { return hint_; }
    void setHint(std::string hint);

    bool enabled() const { return enabled_; }
    void setEnabled(bool on);
    bool visible() const { return visible_; }
    void setVisible(bool on);
    bool tabStop() const { return tabStop_; }
    void setTabStop(bool on);
    int tabOrder() const { return tabOrder_; }
    void setTabOrder(int order);

    /// True when this kind of control can hold the focus at all.
    virtual bool acceptsFocus() const;
    /// True when the control and all its parents are enabled and visible and it accepts
    /// the focus: a person could put the caret there.
    bool canFocus() const;
    /// True when the control and all its parents are enabled and visible.
    bool effectivelyEnabled() const;
    bool focused() const;
    /// Moves the form's focus here; the exit event of the control left runs first, and
    /// when it fails the focus does not move. A control that cannot take the focus
    /// (disabled or hidden) leaves the focus where it is.
    void setFocus();

    /// What a click does (check, choose, look up, confirm); raises OnClick where the kind
    /// does. The base control does nothing.
    virtual void click();

    NotifyEvent OnExit;   ///< the focus leaves the control
    NotifyEvent OnClick;  ///< raised by kinds that are clicked or chosen

    /// Called by the form after the focus has left the control (its exit succeeded); a
    /// number edit tidies its text here.
    virtual void focusLeft() {}
    /// Called by the form whenever the focus is put into the control: by Tab or Enter,
    /// by code (a lookup, a check that names the field to correct) or back into it after
    /// its exit failed. A text entry selects its whole text here, so what is typed next
    /// replaces it.
    virtual void focusEntered() {}

protected:
    /// Tells the form's observers that a property of this control changed.
    void changed();

private:
    ControlKind kind_;
    Control* parent_;
    std::vector<Control*> children_;
    std::string caption_;
    Rect geometry_;
    FontRole fontRole_ = FontRole::Inherited;
    ColorRole colorRole_ = ColorRole::Default;
    std::string hint_;
    bool enabled_ = true;
    bool visible_ = true;
    bool tabStop_ = false;
    int tabOrder_ = 0;
};

}  // namespace vol
