#include "FrameBox.h"

#include <QPainter>
#include <qdrawutil.h>

namespace vol {

void FrameBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QFontMetrics fm(font());
    int top = title().isEmpty() ? 0 : fm.height() / 2;
    qDrawShadeRect(&p, QRect(0, top, width(), height() - top), palette(), true, 1);
    if (title().isEmpty()) return;
    QRect text(8, 0, fm.horizontalAdvance(title()) + 4, fm.height());
    p.fillRect(text, palette().color(backgroundRole()));
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    p.drawText(text, Qt::AlignCenter, title());
}

}  // namespace vol
