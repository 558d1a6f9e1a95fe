#pragma once
// A container drawn with an outer and an inner bevel ring.

#include <QFrame>

#include "controls/Panel.h"

namespace vol {

/// The Qt face of a Panel: its two bevel rings, outer first.
class BevelPanel : public QFrame {
public:
    explicit BevelPanel(QWidget* parent = nullptr);
    void setBevels(Bevel inner, Bevel outer);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Bevel inner_ = Bevel::None;
    Bevel outer_ = Bevel::Raised;
};

}  // namespace vol
