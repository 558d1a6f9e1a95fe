#include "FormWindow.h"

#include <QCloseEvent>

#include "FormView.h"
#include "QtText.h"
#include "forms/Application.h"
#include "forms/Form.h"
#include "forms/UserInput.h"

namespace vol {

FormWindow::FormWindow(Form& form, UserInput& input, QWidget* parent)
    : QMdiSubWindow(parent), view_(new FormView(form, input)), input_(input) {
    setWidget(view_);
    setAttribute(Qt::WA_DeleteOnClose, false);
    connect(view_, &FormView::formPropertiesChanged, this, [this] { mirrorForm(); });
    mirrorForm();
}

Form* FormWindow::form() const { return view_->form(); }

void FormWindow::formDestroyed() {
    view_->detach();
    dying_ = true;
    hide();
    deleteLater();
}

void FormWindow::mirrorForm() {
    Form* f = form();
    if (f == nullptr) return;
    ++mirroring_;
    setWindowTitle(toQt(f->caption()));
    view_->setFixedSize(f->clientWidth(), f->clientHeight());
    Qt::WindowFlags flags = Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                            Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
    if (f->borderStyle() == BorderStyle::Single) {
        flags |= Qt::MSWindowsFixedSizeDialogHint;
    } else {
        flags |= Qt::WindowMaximizeButtonHint;
    }
    if (windowFlags() != flags) setWindowFlags(flags);
    if (!placed_ && f->visible()) {
        // The form's position is where it opens; the person may move it afterwards.
        adjustSize();
        move(f->left(), f->top());
        placed_ = true;
    }
    if (f->visible()) {
        switch (f->windowState()) {
            case WindowState::Normal:
                if (isMinimized() || isMaximized() || isHidden()) showNormal();
                adjustSize();
                break;
            case WindowState::Minimized:
                if (!isMinimized()) showMinimized();
                break;
            case WindowState::Maximized:
                if (!isMaximized()) showMaximized();
                break;
        }
    } else if (isVisible()) {
        hide();
    }
    --mirroring_;
}

void FormWindow::closeEvent(QCloseEvent* event) {
    if (dying_ || form() == nullptr) {
        event->accept();
        return;
    }
    // The form decides what closing means (release, hide, minimise, refuse).
    event->ignore();
    input_.close(*form());
}

void FormWindow::changeEvent(QEvent* event) {
    QMdiSubWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || mirroring_ > 0 || dying_) return;
    Form* f = form();
    if (f == nullptr) return;
    // The person minimised or restored the window with its buttons: the model follows,
    // so that opening the screen again restores it.
    WindowState state = isMinimized() ? WindowState::Minimized
                        : isMaximized() ? WindowState::Maximized
                                        : WindowState::Normal;
    f->application().runAction([f, state] { f->setWindowState(state); });
}

}  // namespace vol
