#include "BevelPanel.h"

#include <QPainter>
#include <qdrawutil.h>

namespace vol {

BevelPanel::BevelPanel(QWidget* parent) : QFrame(parent) {}

void BevelPanel::setBevels(Bevel inner, Bevel outer) {
    if (inner == inner_ && outer == outer_) return;
    inner_ = inner;
    outer_ = outer;
    update();
}

void BevelPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QRect r = rect();
    for (Bevel b : {outer_, inner_}) {
        if (b == Bevel::None) continue;
        qDrawShadeRect(&p, r, palette(), b == Bevel::Lowered, 1);
        r.adjust(1, 1, -1, -1);
    }
}

}  // namespace vol
