#pragma once
// The flat toolbar button of the side panel.

#include <QToolButton>

namespace vol {

/// A flat button with its glyph above its caption; the caption uses the whole width, so
/// a narrow side panel still shows it whole. Its key ("F5", "Del") sits in the top right
/// corner, so a person at the keyboard sees it. Raised while hovered, sunken while
/// pressed.
class FlatButton : public QToolButton {
public:
    explicit FlatButton(QWidget* parent = nullptr);

    QString keyLabel() const { return keyLabel_; }
    void setKeyLabel(const QString& key);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString keyLabel_;
};

}  // namespace vol
