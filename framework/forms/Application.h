#pragma once
// The application object: forms, the active window, the cursor, the action boundary.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "forms/Form.h"
#include "forms/HostSettings.h"
#include "protocol/Date.h"
#include "ui/Cursor.h"

namespace vol {

class DataModule;
class UserInterface;

/// Hears the application's own events; the host's view and the scenario runner use it.
class ApplicationObserver {
public:
    virtual ~ApplicationObserver() = default;
    virtual void formCreated(Form&) {}
    virtual void formDestroying(Form&) {}
    virtual void activeFormChanged(Form*) {}
    virtual void cursorChanged(Cursor) {}
};

/// The one application object of the process, shared by the host and every module it
/// loads: it owns the forms, knows the active one, carries the host's settings, the
/// user interface, the local database's data module and the clock, and runs every user
/// action inside its boundary.
class Application {
public:
    /// The process-wide instance.
    static Application& instance();

    Application();
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    UserInterface& ui() const;
    /// Installs the user interface (not owned); until then a silent one answers.
    void setUserInterface(UserInterface* ui);

    HostSettings& settings() { return settings_; }
    const HostSettings& settings() const { return settings_; }

    /// The host's data module with the local database, or null.
    DataModule* dataModule() const { return dataModule_; }
    void setDataModule(DataModule* dm) { dataModule_ = dm; }

    /// Today's date: the system's, unless a fixed date was set.
    wire::Date today() const;
    void setToday(std::optional<wire::Date> fixed) { today_ = fixed; }

    Cursor cursor() const { return cursor_; }
    void setCursor(Cursor c);

    /// Creates a form owned by the application: assigns ref, then raises its create
    /// event. When creation fails the form is destroyed, ref is cleared and the failure
    /// goes on.
    template <class F>
    F& createForm(F*& ref) {
        auto owned = std::make_unique<F>(*this);
        F& form = *owned;
        ref = &form;
        forms_.push_back(std::move(owned));
        for (ApplicationObserver* o : observers_) o->formCreated(form);
        try {
            form.runCreate();
        } catch (...) {
            ref = nullptr;
            destroyForm(form);
            throw;
        }
        return form;
    }
    /// Every live form, in creation order.
    std::vector<Form*> forms() const;
    bool owns(const Form* form) const;

    Form* activeForm() const { return active_; }
    /// Makes the form the active window; raises its activation when it was not active.
    void activate(Form& form);
    /// Another window (not one of our forms) became active.
    void deactivate();
    /// A form was hidden: it stops being the active one.
    void formHidden(Form& form);

    /// Marks a form to be destroyed once the running action has ended.
    void releaseForm(Form& form);
    /// Destroys the released forms (raising their destroy events).
    void destroyReleased();
    /// Destroys every form (the host's exit).
    void destroyAll();

    /// Runs one user action inside the boundary: the abort of an error already shown
    /// ends it silently; any other failure is shown as an error with its text. Nothing
    /// escapes. Released forms are destroyed afterwards. Returns true when the action
    /// ran to its end.
    bool runAction(const std::function<void()>& action);

    void addObserver(ApplicationObserver* o);
    void removeObserver(ApplicationObserver* o);

    /// Every remote call, with its arguments as they went on the wire (JSON text).
    using RemoteCallObserver = std::function<void(const std::string& method, const std::string& argsJson)>;
    void setRemoteCallObserver(RemoteCallObserver observer) { callObserver_ = std::move(observer); }
    void notifyRemoteCall(const std::string& method, const std::string& argsJson) const;
    /// True when someone listens for remote calls (their arguments are written only then).
    bool observesRemoteCalls() const { return static_cast<bool>(callObserver_); }

    /// Called again and again while a synchronous remote call waits for its answer, so a
    /// view can keep its progress animation moving (it must not handle user input).
    void setWaitHook(std::function<void()> hook) { waitHook_ = std::move(hook); }
    void whileWaiting() const {
        if (waitHook_) waitHook_();
    }

private:
    void destroyForm(Form& form);

    std::vector<std::unique_ptr<Form>> forms_;
    std::vector<Form*> released_;
    std::vector<ApplicationObserver*> observers_;
    Form* active_ = nullptr;
    UserInterface* ui_ = nullptr;
    std::unique_ptr<UserInterface> silentUi_;
    DataModule* dataModule_ = nullptr;
    HostSettings settings_;
    std::optional<wire::Date> today_;
    Cursor cursor_ = Cursor::Default;
    RemoteCallObserver callObserver_;
    std::function<void()> waitHook_;
    int actionDepth_ = 0;
};

}  // namespace vol
