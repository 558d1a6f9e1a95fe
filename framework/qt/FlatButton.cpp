#include "FlatButton.h"

#include <QPainter>
#include <QStyleOptionToolButton>

namespace vol {

FlatButton::FlatButton(QWidget* parent) : QToolButton(parent) {
    setAutoRaise(true);
    setIconSize(QSize(24, 24));
}

void FlatButton::setKeyLabel(const QString& key) {
    if (key == keyLabel_) return;
    keyLabel_ = key;
    update();
}

void FlatButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    // The style draws only the raised or sunken panel; glyph and caption are ours.
    option.text.clear();
    option.icon = QIcon();
    style()->drawComplexControl(QStyle::CC_ToolButton, &option, &p, this);

    QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
    QFontMetrics fm(font());
    int contentHeight = iconSize().height() + 2 + fm.height();
    int top = (height() - contentHeight) / 2 + (isDown() ? 1 : 0);
    QRect iconRect((width() - iconSize().width()) / 2, top, iconSize().width(), iconSize().height());
    icon().paint(&p, iconRect, Qt::AlignCenter, mode);
    QRect textRect(0, iconRect.bottom() + 2, width(), fm.height());
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    p.drawText(textRect, Qt::AlignHCenter | Qt::AlignTop, text());

    if (!keyLabel_.isEmpty()) {
        QFont small = font();
        small.setPixelSize(9);
        p.setFont(small);
        p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
        p.drawText(rect().adjusted(0, 1, -2, 0), Qt::AlignRight | Qt::AlignTop, keyLabel_);
    }
}

}  // namespace vol
