#include "FormWindow.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QMenu>
#include <QStyle>

#include <algorithm>

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
    // The close keys belong to the host's window menu, the same on every platform; the
    // system menu's own binding follows the platform's key scheme (Ctrl+F4 on some,
    // Ctrl+W on others) and would make the host's keys ambiguous.
    if (QMenu* menu = systemMenu()) {
        for (QAction* action : menu->actions()) action->setShortcuts({});
    }
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
        // Every screen opens at the same place of the area, whatever position it was
        // drawn at elsewhere: the top left corner, or the next cascade step when another
        // window is there. The person may move it afterwards.
        adjustSize();
        move(openingPlace());
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

QPoint FormWindow::openingPlace() const {
    QMdiArea* area = mdiArea();
    if (area == nullptr) return {0, 0};
    QList<QPoint> taken;
    for (QMdiSubWindow* other : area->subWindowList()) {
        if (other != this && other->isVisible() && !other->isMinimized()) taken << other->pos();
    }
    // One title bar down and right per step, as the area's own cascade arranges them.
    const int step = std::max(style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this), 16);
    const QSize room = area->viewport()->size();
    for (qsizetype k = 0; k <= taken.size(); ++k) {
        const QPoint at(static_cast<int>(k) * step, static_cast<int>(k) * step);
        if (k > 0 && (at.x() + width() > room.width() || at.y() + height() > room.height())) break;
        if (!taken.contains(at)) return at;
    }
    return {0, 0};
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
