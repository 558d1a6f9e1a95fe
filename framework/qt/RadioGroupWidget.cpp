#include "RadioGroupWidget.h"

#include <QEvent>

#include "QtText.h"
#include "ToggleButton.h"

namespace vol {

RadioGroupWidget::RadioGroupWidget(std::function<void(int)> onChoose, QWidget* parent)
    : FrameBox(parent), onChoose_(std::move(onChoose)) {}

void RadioGroupWidget::setItems(const std::vector<std::string>& items) {
    if (items == items_) return;
    items_ = items;
    for (QRadioButton* b : buttons_) delete b;
    buttons_.clear();
    for (std::size_t i = 0; i < items_.size(); ++i) {
        int index = static_cast<int>(i);
        auto* button = new ToggleButton<QRadioButton>([this, index] { if (onChoose_) onChoose_(index); }, this);
        button->setText(toQt(items_[i]));
        button->setFocusPolicy(Qt::ClickFocus);
        button->setChecked(index == index_);
        button->show();
        buttons_.push_back(button);
        if (onItemCreated) onItemCreated(button);
    }
    layoutItems();
}

void RadioGroupWidget::setItemIndex(int index) {
    index_ = index;
    for (std::size_t i = 0; i < buttons_.size(); ++i) buttons_[i]->setChecked(static_cast<int>(i) == index);
}

QWidget* RadioGroupWidget::focusTarget() {
    if (buttons_.empty()) return this;
    if (index_ >= 0 && index_ < count()) return buttons_[static_cast<std::size_t>(index_)];
    return buttons_.front();
}

void RadioGroupWidget::resizeEvent(QResizeEvent* event) {
    FrameBox::resizeEvent(event);
    layoutItems();
}

void RadioGroupWidget::changeEvent(QEvent* event) {
    FrameBox::changeEvent(event);
    if (event->type() == QEvent::FontChange) layoutItems();
}

void RadioGroupWidget::layoutItems() {
    if (buttons_.empty()) return;
    // The items share the height below one text line equally, as the screens were drawn:
    // the leftover pixels go half above the first item.
    int textHeight = fontMetrics().height();
    int room = height() - textHeight - 5;
    int n = count();
    int rowHeight = std::max(room / n, 1);
    int top = textHeight + 1 + (room % n) / 2;
    int itemWidth = std::max(width() - 10, 1);
    for (int i = 0; i < n; ++i) buttons_[static_cast<std::size_t>(i)]->setGeometry(8, top + i * rowHeight, itemWidth, rowHeight);
}

}  // namespace vol
