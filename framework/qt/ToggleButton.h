#pragma once
// A check box or radio button that does not change itself when clicked.

#include <QPainter>
#include <QPalette>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>
#include <functional>
#include <type_traits>
#include <utility>

namespace vol {

/// A Qt toggle button (QCheckBox, QRadioButton) whose click is handed to a callback
/// instead of flipping the mark: the control model decides the new state and the view
/// mirrors it back. Keyboard clicks never reach it (the view consumes the keys).
/// While it holds the keyboard focus its mark and caption are framed in the highlight
/// colour, whatever the style: many styles mark the focus of a check box only after a Tab
/// that Qt itself handled, and here the model moves the focus. The frame hugs the mark
/// and the caption, so it never runs over a neighbouring field or through the caption.
template <class Button>
class ToggleButton : public Button {
public:
    explicit ToggleButton(std::function<void()> onClick, QWidget* parent = nullptr)
        : Button(parent), onClick_(std::move(onClick)) {
        this->setAutoExclusive(false);
    }

    /// True while this button is the focus of its window (also when the window is not
    /// the active one, as in a screenshot).
    bool showsFocus() const { return this->window() != nullptr && this->window()->focusWidget() == this; }

protected:
    void nextCheckState() override {
        if (onClick_) onClick_();
    }

    void paintEvent(QPaintEvent* event) override {
        Button::paintEvent(event);
        if (!showsFocus()) return;
        QPainter p(this);
        QPen pen(this->palette().color(QPalette::Active, QPalette::Highlight));
        pen.setWidth(2);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawRect(frameRect());
    }

    // The mark and the caption, a little apart, inside the button.
    QRect frameRect() const {
        constexpr bool radio = std::is_base_of_v<QRadioButton, Button>;
        QStyleOptionButton option;
        this->initStyleOption(&option);
        const QStyle* style = this->style();
        const QRect mark = style->subElementRect(radio ? QStyle::SE_RadioButtonIndicator : QStyle::SE_CheckBoxIndicator,
                                                 &option, this);
        const QRect caption = style->subElementRect(
            radio ? QStyle::SE_RadioButtonContents : QStyle::SE_CheckBoxContents, &option, this);
        const int textWidth = this->fontMetrics().horizontalAdvance(this->text());
        QRect around = mark.united(QRect(caption.left(), caption.top(), textWidth + 4, caption.height()));
        around.adjust(-2, 0, 2, 0);
        return around.intersected(this->rect().adjusted(1, 1, -1, -1));
    }

    void focusInEvent(QFocusEvent* event) override {
        Button::focusInEvent(event);
        this->update();
    }

    void focusOutEvent(QFocusEvent* event) override {
        Button::focusOutEvent(event);
        this->update();
    }

private:
    std::function<void()> onClick_;
};

}  // namespace vol
