#pragma once
// How a price screen's module opens its one screen.

#include "forms/Application.h"

namespace vnd {

/// Opens the module's screen: creates it (its form pointer and the module's "created"
/// flag set) only when none exists, then shows it in its normal state, with the hourglass
/// while it is made. The cursor comes back whatever happens; a failure goes on to the host.
template <class Screen>
void openScreen(Screen*& form, bool& created) {
    vol::Application& app = vol::Application::instance();
    app.setCursor(vol::Cursor::HourGlass);
    struct RestoreCursor {
        vol::Application& app;
        ~RestoreCursor() { app.setCursor(vol::Cursor::Default); }
    } restore{app};
    if (!created) {
        app.createForm(form);
        created = true;
    }
    form->show();
    form->setWindowState(vol::WindowState::Normal);
}

}  // namespace vnd
