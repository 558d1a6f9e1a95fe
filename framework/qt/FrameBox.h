#pragma once
// A group box drawn the classic way: the caption sits on the frame's top line.

#include <QGroupBox>

namespace vol {

/// The Qt face of a GroupBox (and the frame of a radio group): an etched frame whose top
/// line runs through the middle of the caption, children placed freely inside.
class FrameBox : public QGroupBox {
public:
    explicit FrameBox(QWidget* parent = nullptr) : QGroupBox(parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace vol
