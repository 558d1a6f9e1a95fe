#pragma once
// A window of the application: its controls, components, focus and lifecycle.

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "controls/Control.h"
#include "forms/Component.h"

namespace vol {

class Application;
class FormObserver;

enum class WindowState { Normal, Minimized, Maximized };
/// What closing a form does: nothing, hide it, release it, minimise it.
enum class CloseAction { None, Hide, Free, Minimize };
enum class BorderStyle { Sizeable, Single };

/// A form, owned by the application. It owns every component created with make(); the
/// controls form a tree under the form (a control with no parent sits on the form).
/// The focus moves only through focusControl(), which runs the exit event of the control
/// left first: when that fails, the focus stays where the exit handler put it.
class Form : public Component {
public:
    explicit Form(Application& app, std::string name);
    ~Form() override;

    Application& application() const { return app_; }

    /// Creates a component owned by the form: make<Edit>(parent, "edtNome").
    template <class C, class... Args>
    C& make(Control* parent, std::string name, Args&&... args) {
        auto c = std::make_unique<C>(*this, parent, std::move(name), std::forward<Args>(args)...);
        C& ref = *c;
        adopt(std::move(c));
        return ref;
    }
    /// Creates a non-visual component owned by the form: makeComponent<ClientDataSet>("cds").
    template <class C, class... Args>
    C& makeComponent(std::string name, Args&&... args) {
        auto c = std::make_unique<C>(*this, std::move(name), std::forward<Args>(args)...);
        C& ref = *c;
        adopt(std::move(c));
        return ref;
    }

    /// The component of that name, or null.
    Component* find(const std::string& name) const;
    /// The control of that name, or null.
    Control* findControl(const std::string& name) const;
    /// Every control in creation order.
    const std::vector<Control*>& controls() const { return controls_; }
    /// The controls directly on the form, in creation order.
    std::vector<Control*> topLevelControls() const;

    const std::string& caption() const { return caption_; }
    void setCaption(std::string caption);
    int clientWidth() const { return clientWidth_; }
    int clientHeight() const { return clientHeight_; }
    void setClientSize(int width, int height);
    int left() const { return left_; }
    int top() const { return top_; }
    void setPosition(int left, int top);
    BorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(BorderStyle s);
    WindowState windowState() const { return windowState_; }
    void setWindowState(WindowState s);
    bool visible() const { return visible_; }

    /// Shows the form and makes it the active window (raising its activation when it
    /// was not active); the first tab stop takes the focus when none has it.
    void show();
    /// Closes the form: the close event decides the action (a child window minimises by
    /// default); Free releases the form, Hide hides it.
    void close();
    /// Asks the application to destroy the form once the running action has ended.
    void release();

    Control* focusedControl() const { return focused_; }
    /// Moves the focus to the control, running the exit event of the control left. A
    /// control that cannot take the focus leaves it where it is. Called from inside an
    /// exit handler, it only records where the focus is to be. Wherever the focus ends
    /// up (the target, the control left when its exit failed, or the one the failing
    /// exit named), that control is told it was entered (Control::focusEntered), also
    /// when it already had the focus.
    void focusControl(Control& target);
    /// The controls a Tab visits, in order: tab stops that can take the focus, walked
    /// depth-first through the containers by tab order.
    std::vector<Control*> tabSequence() const;
    /// The next (or previous) control of the tab sequence after the focused one.
    Control* nextTabStop(bool forward = true) const;

    NotifyEvent OnCreate;
    NotifyEvent OnActivate;
    std::function<void(Component& sender, CloseAction& action)> OnClose;
    NotifyEvent OnDestroy;

    void addObserver(FormObserver* observer);
    void removeObserver(FormObserver* observer);
    /// Reports a control's change to the observers.
    void notifyChanged(Control& control);

    // Lifecycle steps the application drives.
    void runCreate();
    void runActivate();
    void runDestroy();

private:
    void adopt(std::unique_ptr<Component> c);
    void notifyForm();
    void setFocusedDirect(Control* c);

    Application& app_;
    std::vector<std::unique_ptr<Component>> components_;
    std::unordered_map<std::string, Component*> byName_;
    std::vector<Control*> controls_;
    std::vector<FormObserver*> observers_;
    std::string caption_;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    int left_ = 0;
    int top_ = 0;
    BorderStyle borderStyle_ = BorderStyle::Sizeable;
    WindowState windowState_ = WindowState::Normal;
    bool visible_ = false;
    Control* focused_ = nullptr;
    bool inExit_ = false;
};

}  // namespace vol
