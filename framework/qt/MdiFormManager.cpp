#include "MdiFormManager.h"

#include <QMdiArea>
#include <QTimer>

#include "FormView.h"
#include "FormWindow.h"
#include "forms/UserInput.h"

namespace vol {

MdiFormManager::MdiFormManager(Application& app, UserInput& input, QMdiArea& area, QObject* parent)
    : QObject(parent), app_(app), input_(input), area_(area) {
    app_.addObserver(this);
    connect(&area_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) { subWindowActivated(w); });
}

MdiFormManager::~MdiFormManager() {
    app_.removeObserver(this);
    for (auto& [form, window] : windows_) {
        if (FormWindow* w = window.data(); w != nullptr && w->view() != nullptr) {
            w->view()->detach();
        }
    }
}

FormWindow* MdiFormManager::windowFor(const Form& form) const {
    auto it = windows_.find(&form);
    return it == windows_.end() ? nullptr : it->second.data();
}

void MdiFormManager::formCreated(Form& form) {
    auto* window = new FormWindow(form, input_);
    area_.addSubWindow(window);
    windows_[&form] = window;
    if (!form.visible()) window->hide();
}

void MdiFormManager::formDestroying(Form& form) {
    auto it = windows_.find(&form);
    if (it == windows_.end()) return;
    if (FormWindow* window = it->second.data()) {
        area_.removeSubWindow(window);
        window->formDestroyed();
    }
    windows_.erase(it);
}

void MdiFormManager::activeFormChanged(Form* form) {
    if (form == nullptr) return;
    FormWindow* window = windowFor(*form);
    if (window != nullptr && area_.activeSubWindow() != window && window->isVisible()) area_.setActiveSubWindow(window);
}

void MdiFormManager::subWindowActivated(QMdiSubWindow* window) {
    // Null comes whenever the main window loses the keyboard (a dialog, another program);
    // that is no change of the active form.
    auto* formWindow = qobject_cast<FormWindow*>(window);
    if (formWindow == nullptr) return;
    // After the running event: the model's own activation (a form being shown) comes
    // first, and a form that is already active is not activated twice.
    QPointer<FormWindow> guard(formWindow);
    QTimer::singleShot(0, this, [this, guard] {
        if (!guard) return;
        Form* f = guard->form();
        if (f != nullptr && app_.activeForm() != f && f->visible()) input_.activate(*f);
    });
}

}  // namespace vol
