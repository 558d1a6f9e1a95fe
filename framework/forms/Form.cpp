#include "forms/Form.h"

#include <algorithm>

#include "forms/Application.h"
#include "forms/FormObserver.h"

namespace vol {

Form::Form(Application& app, std::string name) : Component(nullptr, std::move(name)), app_(app) {}

Form::~Form() = default;

void Form::adopt(std::unique_ptr<Component> c) {
    byName_[c->name()] = c.get();
    if (auto* control = dynamic_cast<Control*>(c.get())) controls_.push_back(control);
    components_.push_back(std::move(c));
}

Component* Form::find(const std::string& name) const {
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : it->second;
}

Control* Form::findControl(const std::string& name) const { return dynamic_cast<Control*>(find(name)); }

std::vector<Control*> Form::topLevelControls() const {
    std::vector<Control*> top;
    for (Control* c : controls_) {
        if (c->parent() == nullptr) top.push_back(c);
    }
    return top;
}

void Form::setCaption(std::string caption) {
    caption_ = std::move(caption);
    notifyForm();
}

void Form::setClientSize(int width, int height) {
    clientWidth_ = width;
    clientHeight_ = height;
    notifyForm();
}

void Form::setPosition(int left, int top) {
    left_ = left;
    top_ = top;
    notifyForm();
}

void Form::setBorderStyle(BorderStyle s) {
    borderStyle_ = s;
    notifyForm();
}

void Form::setWindowState(WindowState s) {
    if (windowState_ == s) return;
    windowState_ = s;
    notifyForm();
}

void Form::show() {
    visible_ = true;
    notifyForm();
    app_.activate(*this);
}

void Form::close() {
    // A child window of the main window minimises unless its close event says otherwise.
    CloseAction action = CloseAction::Minimize;
    if (OnClose) OnClose(*this, action);
    switch (action) {
        case CloseAction::None:
            break;
        case CloseAction::Hide:
            visible_ = false;
            notifyForm();
            app_.formHidden(*this);
            break;
        case CloseAction::Minimize:
            setWindowState(WindowState::Minimized);
            break;
        case CloseAction::Free:
            release();
            break;
    }
}

void Form::release() { app_.releaseForm(*this); }

void Form::setFocusedDirect(Control* c) {
    if (focused_ == c) return;
    focused_ = c;
    for (FormObserver* o : observers_) o->focusChanged(c);
}

void Form::focusControl(Control& target) {
    if (!target.canFocus()) return;
    if (inExit_) {
        // A check running in an exit handler names the control the focus is to be in.
        setFocusedDirect(&target);
        return;
    }
    if (&target == focused_) {
        // Put back into the control it is in (a check that names the field to correct).
        target.focusEntered();
        return;
    }
    Control* old = focused_;
    if (old != nullptr && old->OnExit) {
        inExit_ = true;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{inExit_};
        try {
            old->OnExit(*old);
        } catch (...) {
            // The exit failed: the focus stays in the control left, or went to the one the
            // check named; either way the person is back in a field to correct.
            if (focused_ != nullptr) focused_->focusEntered();
            throw;
        }
    }
    if (old != nullptr) old->focusLeft();
    if (target.canFocus()) {
        setFocusedDirect(&target);
        target.focusEntered();
    }
}

namespace {
void collectTabStops(const std::vector<Control*>& level, std::vector<Control*>& out) {
    std::vector<Control*> ordered = level;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const Control* a, const Control* b) { return a->tabOrder() < b->tabOrder(); });
    for (Control* c : ordered) {
        if (!c->effectivelyEnabled()) continue;
        if (c->tabStop() && c->canFocus()) out.push_back(c);
        if (!c->children().empty()) collectTabStops(c->children(), out);
    }
}
}  // namespace

std::vector<Control*> Form::tabSequence() const {
    std::vector<Control*> out;
    collectTabStops(topLevelControls(), out);
    return out;
}

Control* Form::nextTabStop(bool forward) const {
    std::vector<Control*> seq = tabSequence();
    if (seq.empty()) return nullptr;
    auto it = std::find(seq.begin(), seq.end(), focused_);
    if (it == seq.end()) return forward ? seq.front() : seq.back();
    auto index = static_cast<std::size_t>(it - seq.begin());
    std::size_t n = seq.size();
    return seq[forward ? (index + 1) % n : (index + n - 1) % n];
}

void Form::addObserver(FormObserver* observer) { observers_.push_back(observer); }

void Form::removeObserver(FormObserver* observer) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void Form::notifyChanged(Control& control) {
    for (FormObserver* o : observers_) o->controlChanged(control);
    // A control that is disabled or hidden while it holds the focus loses it.
    if (focused_ != nullptr && !focused_->canFocus()) setFocusedDirect(nullptr);
}

void Form::notifyForm() {
    for (FormObserver* o : observers_) o->formChanged(*this);
}

void Form::runCreate() {
    if (OnCreate) OnCreate(*this);
}

void Form::runActivate() {
    if (OnActivate) OnActivate(*this);
    if (focused_ == nullptr) {
        if (Control* first = nextTabStop(true)) {
            setFocusedDirect(first);
            first->focusEntered();
        }
    }
}

void Form::runDestroy() {
    if (OnDestroy) OnDestroy(*this);
}

}  // namespace vol
