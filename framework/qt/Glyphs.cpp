#include "Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace vol {

namespace {

// Draws the same picture twice: in colour and in the grey of a disabled button, so the
// glyph reads as two-state like the classic toolbar glyphs.
template <class Paint>
QIcon twoState(int size, Paint paint) {
    QIcon icon;
    for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        paint(p, mode == QIcon::Disabled);
        p.end();
        icon.addPixmap(pm, mode);
    }
    return icon;
}

}  // namespace

QIcon Glyphs::search() {
    return twoState(16, [](QPainter& p, bool grey) {
        QColor rim = grey ? QColor(160, 160, 160) : QColor(40, 40, 40);
        QColor glass = grey ? QColor(235, 235, 235) : QColor(190, 225, 255);
        p.setPen(QPen(rim, 1.6));
        p.setBrush(glass);
        p.drawEllipse(QRectF(1.5, 1.5, 9, 9));
        p.setPen(QPen(grey ? rim : QColor(120, 70, 20), 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9.5, 9.5), QPointF(14, 14));
    });
}

QIcon Glyphs::calendar() {
    return twoState(14, [](QPainter& p, bool grey) {
        QColor ink = grey ? QColor(160, 160, 160) : QColor(50, 50, 50);
        p.setPen(QPen(ink, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, 2.5, 11, 10));
        p.fillRect(QRectF(2, 3, 10, 3), grey ? QColor(190, 190, 190) : QColor(200, 40, 40));
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        for (int row = 0; row < 2; ++row) {
            for (int col = 0; col < 3; ++col) p.drawRect(QRectF(3 + col * 3, 7.5 + row * 2.5, 1.5, 1.5));
        }
    });
}

QIcon Glyphs::confirm() {
    return twoState(24, [](QPainter& p, bool grey) {
        QPainterPath tick;
        tick.moveTo(4, 13);
        tick.lineTo(10, 19);
        tick.lineTo(20, 5);
        p.setPen(QPen(grey ? QColor(160, 160, 160) : QColor(20, 140, 40), 3.5, Qt::SolidLine, Qt::RoundCap,
                      Qt::RoundJoin));
        p.drawPath(tick);
    });
}

QIcon Glyphs::button(ButtonGlyph glyph) {
    switch (glyph) {
        case ButtonGlyph::Confirm:
            return confirm();
        case ButtonGlyph::Search:
            return twoState(24, [](QPainter& p, bool grey) {
                p.setPen(QPen(grey ? QColor(160, 160, 160) : QColor(40, 40, 40), 2.2));
                p.setBrush(grey ? QColor(235, 235, 235) : QColor(190, 225, 255));
                p.drawEllipse(QRectF(3, 3, 13, 13));
                p.setPen(QPen(grey ? QColor(160, 160, 160) : QColor(120, 70, 20), 3.6, Qt::SolidLine, Qt::RoundCap));
                p.drawLine(QPointF(14.5, 14.5), QPointF(21, 21));
            });
        case ButtonGlyph::Price:
            return twoState(24, [](QPainter& p, bool grey) {
                QPainterPath tag;
                tag.moveTo(2, 12);
                tag.lineTo(11, 3);
                tag.lineTo(21, 3);
                tag.lineTo(21, 13);
                tag.lineTo(12, 22);
                tag.closeSubpath();
                p.setPen(QPen(grey ? QColor(160, 160, 160) : QColor(120, 60, 10), 1.4));
                p.setBrush(grey ? QColor(230, 230, 230) : QColor(255, 190, 60));
                p.drawPath(tag);
                p.setBrush(Qt::white);
                p.drawEllipse(QPointF(17, 7), 1.8, 1.8);
                QFont f;
                f.setBold(true);
                f.setPixelSize(10);
                p.setFont(f);
                p.setPen(grey ? QColor(150, 150, 150) : QColor(30, 90, 30));
                p.drawText(QRectF(5, 8, 13, 11), Qt::AlignCenter, "$");
            });
        case ButtonGlyph::Remove:
            return twoState(24, [](QPainter& p, bool grey) {
                p.setPen(QPen(grey ? QColor(160, 160, 160) : QColor(200, 30, 30), 3.6, Qt::SolidLine, Qt::RoundCap));
                p.drawLine(QPointF(5, 5), QPointF(19, 19));
                p.drawLine(QPointF(19, 5), QPointF(5, 19));
            });
        case ButtonGlyph::History:
            return twoState(24, [](QPainter& p, bool grey) {
                const QColor ink = grey ? QColor(160, 160, 160) : QColor(30, 60, 130);
                p.setPen(QPen(ink, 2));
                p.setBrush(grey ? QColor(240, 240, 240) : Qt::white);
                p.drawEllipse(QRectF(3, 3, 18, 18));
                p.setPen(QPen(ink, 2, Qt::SolidLine, Qt::RoundCap));
                p.drawLine(QPointF(12, 12), QPointF(12, 6.5));
                p.drawLine(QPointF(12, 12), QPointF(16, 14));
                // The arrow of time turned back, at the top left of the dial.
                p.setPen(Qt::NoPen);
                p.setBrush(grey ? ink : QColor(20, 140, 40));
                p.drawPolygon(QPolygonF({QPointF(1, 5), QPointF(8, 5), QPointF(4, 10)}));
            });
        case ButtonGlyph::Export:
            return twoState(24, [](QPainter& p, bool grey) {
                p.setPen(QPen(grey ? QColor(160, 160, 160) : QColor(60, 60, 60), 1.2));
                p.setBrush(grey ? QColor(240, 240, 240) : Qt::white);
                p.drawRect(QRectF(3.5, 2.5, 12, 18));
                p.setPen(QPen(grey ? QColor(190, 190, 190) : QColor(120, 120, 120), 1));
                for (int line = 0; line < 4; ++line) p.drawLine(QPointF(6, 7 + line * 3.5), QPointF(13, 7 + line * 3.5));
                p.setPen(QPen(grey ? QColor(160, 160, 160) : QColor(20, 140, 40), 2.6, Qt::SolidLine, Qt::RoundCap,
                              Qt::RoundJoin));
                p.drawLine(QPointF(11, 14), QPointF(21, 14));
                p.drawLine(QPointF(17.5, 10.5), QPointF(21, 14));
                p.drawLine(QPointF(17.5, 17.5), QPointF(21, 14));
            });
    }
    return confirm();
}

QIcon Glyphs::application() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 64.0, size / 64.0);
        // The tag: a rounded body with a cut corner and its string hole.
        QPainterPath tag;
        tag.moveTo(6, 30);
        tag.lineTo(30, 6);
        tag.lineTo(56, 6);
        tag.quadTo(58, 6, 58, 8);
        tag.lineTo(58, 34);
        tag.lineTo(34, 58);
        tag.quadTo(32, 60, 30, 58);
        tag.lineTo(6, 34);
        tag.quadTo(4, 32, 6, 30);
        QLinearGradient fill(0, 0, 64, 64);
        fill.setColorAt(0, QColor(255, 196, 64));
        fill.setColorAt(1, QColor(222, 120, 20));
        p.setPen(QPen(QColor(120, 60, 10), 2.5));
        p.setBrush(fill);
        p.drawPath(tag);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(47, 17), 4.5, 4.5);
        QFont f;
        f.setBold(true);
        f.setPixelSize(26);
        p.setFont(f);
        p.setPen(QColor(30, 70, 30));
        p.drawText(QRectF(12, 20, 34, 32), Qt::AlignCenter, "R$");
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

}  // namespace vol
