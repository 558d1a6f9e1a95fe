#pragma once
// The progress animation shown over the main window during a server call.

#include <QElapsedTimer>
#include <QFrame>

class QLabel;

namespace vol {

/// A small frame centred over its parent with a caption and a bar that keeps sweeping.
/// The sweep is computed from the time elapsed, so every repaint shows it moving, also
/// when repaints come from pump() while the event loop is blocked by a server call.
class ProgressWidget : public QFrame {
    Q_OBJECT
public:
    explicit ProgressWidget(QWidget* parent);

    /// Shows (or re-captions) the animation and paints it at once.
    void start(const QString& caption);
    void stop();
    /// Repaints the sweep and handles pending non-input events; safe to call often.
    void pump();

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    QLabel* caption_;
    QElapsedTimer clock_;
    int timer_ = 0;
};

}  // namespace vol
