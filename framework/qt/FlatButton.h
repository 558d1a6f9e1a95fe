#pragma once
// The flat toolbar button of the side panel.

#include <QToolButton>

namespace vol {

/// A flat button with its glyph above its caption; the caption uses the whole width, so
/// a narrow side panel still shows it whole. Raised while hovered, sunken while pressed.
class FlatButton : public QToolButton {
public:
    explicit FlatButton(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace vol
