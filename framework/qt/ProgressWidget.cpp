#include "ProgressWidget.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace vol {

namespace {
constexpr int kBarHeight = 10;
constexpr int kSweepMs = 1200;
}  // namespace

ProgressWidget::ProgressWidget(QWidget* parent) : QFrame(parent), caption_(new QLabel(this)) {
    setObjectName("progressAnimation");
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(2);
    setAutoFillBackground(true);
    caption_->setAlignment(Qt::AlignCenter);
    caption_->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12 + kBarHeight + 8);
    layout->addWidget(caption_);
    setFixedSize(300, 80);
    hide();
}

void ProgressWidget::start(const QString& caption) {
    caption_->setText(caption.isEmpty() ? QString("Aguarde...") : caption);
    if (!isVisible()) clock_.start();
    if (parentWidget() != nullptr) {
        QRect area = parentWidget()->rect();
        move(area.center() - rect().center());
    }
    show();
    raise();
    if (timer_ == 0) timer_ = startTimer(40);
    // The call that follows blocks the event loop: paint now so the animation is seen.
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ProgressWidget::stop() {
    if (timer_ != 0) killTimer(timer_);
    timer_ = 0;
    hide();
}

void ProgressWidget::pump() {
    if (!isVisible()) return;
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ProgressWidget::timerEvent(QTimerEvent*) { update(); }

void ProgressWidget::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter p(this);
    QRect track(16, height() - 12 - kBarHeight, width() - 32, kBarHeight);
    p.setPen(palette().color(QPalette::Mid));
    p.setBrush(palette().color(QPalette::Base));
    p.drawRect(track.adjusted(0, 0, -1, -1));
    // A block sweeping to and fro across the track.
    qint64 t = clock_.isValid() ? clock_.elapsed() % (2 * kSweepMs) : 0;
    double phase = t < kSweepMs ? double(t) / kSweepMs : 2.0 - double(t) / kSweepMs;
    int block = track.width() / 4;
    int x = track.left() + static_cast<int>(phase * (track.width() - block));
    p.fillRect(QRect(x, track.top() + 1, block, track.height() - 2), palette().color(QPalette::Highlight));
}

}  // namespace vol
