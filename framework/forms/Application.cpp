#include "forms/Application.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <exception>

#include "forms/Abort.h"
#include "ui/SilentUserInterface.h"
#include "ui/UserInterface.h"

namespace vol {

Application& Application::instance() {
    static Application app;
    return app;
}

Application::Application() : silentUi_(std::make_unique<SilentUserInterface>()) {}

Application::~Application() { destroyAll(); }

UserInterface& Application::ui() const { return ui_ != nullptr ? *ui_ : *silentUi_; }

void Application::setUserInterface(UserInterface* ui) { ui_ = ui; }

wire::Date Application::today() const {
    if (today_) return *today_;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return wire::Date{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

void Application::setCursor(Cursor c) {
    cursor_ = c;
    ui().setCursor(c);
    for (ApplicationObserver* o : observers_) o->cursorChanged(c);
}

std::vector<Form*> Application::forms() const {
    std::vector<Form*> out;
    for (const auto& f : forms_) out.push_back(f.get());
    return out;
}

bool Application::owns(const Form* form) const {
    return std::any_of(forms_.begin(), forms_.end(), [form](const auto& f) { return f.get() == form; });
}

void Application::activate(Form& form) {
    if (active_ == &form) return;
    active_ = &form;
    for (ApplicationObserver* o : observers_) o->activeFormChanged(&form);
    form.runActivate();
}

void Application::deactivate() {
    if (active_ == nullptr) return;
    active_ = nullptr;
    for (ApplicationObserver* o : observers_) o->activeFormChanged(nullptr);
}

void Application::formHidden(Form& form) {
    if (active_ == &form) deactivate();
}

void Application::releaseForm(Form& form) {
    if (std::find(released_.begin(), released_.end(), &form) == released_.end()) {
        released_.push_back(&form);
    }
    // Outside any action (a host's own call) nothing else will come back to destroy it.
    if (actionDepth_ == 0) destroyReleased();
}

void Application::destroyReleased() {
    while (!released_.empty()) {
        Form* form = released_.front();
        released_.erase(released_.begin());
        if (owns(form)) destroyForm(*form);
    }
}

void Application::destroyAll() {
    while (!forms_.empty()) destroyForm(*forms_.back());
    released_.clear();
}

void Application::destroyForm(Form& form) {
    if (active_ == &form) deactivate();
    for (ApplicationObserver* o : observers_) o->formDestroying(form);
    // The destroy event's failure must not keep a dead form alive.
    try {
        form.runDestroy();
    } catch (const std::exception& e) {
        ui().showError(e.what());
    } catch (...) {
    }
    auto it = std::find_if(forms_.begin(), forms_.end(), [&form](const auto& f) { return f.get() == &form; });
    if (it != forms_.end()) forms_.erase(it);
}

bool Application::runAction(const std::function<void()>& action) {
    bool completed = false;
    ++actionDepth_;
    try {
        action();
        completed = true;
    } catch (const Abort&) {
        // The text was shown by whoever raised it.
    } catch (const std::exception& e) {
        ui().showError(e.what());
    } catch (...) {
        ui().showError("Erro inesperado.");
    }
    --actionDepth_;
    if (actionDepth_ == 0) destroyReleased();
    return completed;
}

void Application::addObserver(ApplicationObserver* o) { observers_.push_back(o); }

void Application::removeObserver(ApplicationObserver* o) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), o), observers_.end());
}

void Application::notifyRemoteCall(const std::string& method, const std::string& argsJson) const {
    if (callObserver_) callObserver_(method, argsJson);
}

}  // namespace vol
