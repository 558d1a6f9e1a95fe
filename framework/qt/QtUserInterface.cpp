#include "QtUserInterface.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QStandardPaths>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>

#include "ListDialog.h"
#include "ProgressWidget.h"
#include "QtText.h"

namespace vol {

QtUserInterface::QtUserInterface(QWidget* window) : window_(window) {}

QtUserInterface::~QtUserInterface() {
    if (hourglass_) QApplication::restoreOverrideCursor();
    delete progress_.data();
}

ProgressWidget* QtUserInterface::progress() const { return progress_.data(); }

void QtUserInterface::setWindow(QWidget* window) { window_ = window; }

QWidget* QtUserInterface::dialogParent() const {
    if (window_) return window_.data();
    return QApplication::activeWindow();
}

namespace {

// Lets a box's text keep its own lines: the box widens to its longest line (up to most of
// the screen) instead of breaking a line of a listed rule in two.
void keepLines(QMessageBox& box) {
    auto* label = box.findChild<QLabel*>("qt_msgbox_label");
    if (label == nullptr || !box.text().contains('\n')) return;
    int widest = 0;
    for (const QString& line : box.text().split('\n')) widest = std::max(widest, label->fontMetrics().horizontalAdvance(line));
    label->setMinimumWidth(std::min(widest + 8, 900));
}

// A message box with one "OK".
void showBox(QWidget* parent, QMessageBox::Icon icon, const std::string& text) {
    // A box that waits for the person must show the normal pointer, even mid-action.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    QMessageBox box(icon, QApplication::applicationDisplayName(), toQt(text), QMessageBox::NoButton, parent);
    box.addButton("OK", QMessageBox::AcceptRole);
    keepLines(box);
    box.exec();
    QApplication::restoreOverrideCursor();
}

}  // namespace

void QtUserInterface::showError(const std::string& text) { showBox(dialogParent(), QMessageBox::Warning, text); }

void QtUserInterface::showInfo(const std::string& text) { showBox(dialogParent(), QMessageBox::Information, text); }

bool QtUserInterface::askYesNo(const std::string& text, DefaultAnswer byDefault) {
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), toQt(text), QMessageBox::NoButton,
                    dialogParent());
    QPushButton* yes = box.addButton("&Sim", QMessageBox::YesRole);
    QPushButton* no = box.addButton("&Não", QMessageBox::NoRole);
    box.setDefaultButton(byDefault == DefaultAnswer::Yes ? yes : no);
    keepLines(box);
    box.setEscapeButton(no);
    box.exec();
    QApplication::restoreOverrideCursor();
    return box.clickedButton() == yes;
}

std::optional<std::string> QtUserInterface::askSaveFile(const std::string& title, const std::string& suggestedName,
                                                        const std::string& filter) {
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    // A bare file name is proposed in the user's documents folder (the home folder when
    // there is none), never in the program's working folder. The toolkit's own dialog
    // asks before an existing file is replaced.
    QString proposed = toQt(suggestedName);
    if (QFileInfo(proposed).isRelative()) {
        QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
        proposed = QDir(folder).filePath(proposed);
    }
    const QString path = QFileDialog::getSaveFileName(dialogParent(), toQt(title), proposed, toQt(filter));
    QApplication::restoreOverrideCursor();
    if (path.isEmpty()) return std::nullopt;
    return fromQt(path);
}

std::optional<int> QtUserInterface::lookup(const std::string& title, const DataSet& data, int startRow) {
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    ListDialog dialog(toQt(title), data, ListDialog::Mode::Single, dialogParent(), startRow);
    dialog.exec();
    QApplication::restoreOverrideCursor();
    return dialog.picked();
}

std::optional<std::vector<int>> QtUserInterface::pickMany(const std::string& title, const DataSet& data,
                                                          const std::vector<int>& ticked) {
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    ListDialog dialog(toQt(title), data, ListDialog::Mode::Multi, dialogParent(), 0, ticked);
    const int result = dialog.exec();
    QApplication::restoreOverrideCursor();
    if (result != QDialog::Accepted) return std::nullopt;
    return dialog.ticked();
}

void QtUserInterface::showList(const std::string& title, const DataSet& data) {
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    ListDialog dialog(toQt(title), data, ListDialog::Mode::View, dialogParent());
    dialog.exec();
    QApplication::restoreOverrideCursor();
}

void QtUserInterface::showListEmpty(const std::string& text) {
    showBox(dialogParent(), QMessageBox::Information, text);
}

void QtUserInterface::showProgress(ProgressKind kind, const std::string& caption) {
    QWidget* parent = dialogParent();
    // One read of the guarded pointer, so that the check and the use see the same object.
    ProgressWidget* shown = progress_.data();
    if (shown == nullptr || shown->parentWidget() != parent) {
        delete shown;
        progress_ = new ProgressWidget(parent);
    }
    QString text = toQt(caption);
    if (text.isEmpty() && kind == ProgressKind::Search) text = "Pesquisando...";
    progress_->start(text);
}

void QtUserInterface::hideProgress() {
    if (progress_) progress_->stop();
}

void QtUserInterface::pump() {
    if (progress_) progress_->pump();
}

void QtUserInterface::setCursor(Cursor cursor) {
    bool want = cursor == Cursor::HourGlass;
    if (want == hourglass_) return;
    hourglass_ = want;
    if (want) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

}  // namespace vol
