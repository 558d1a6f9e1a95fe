#pragma once
// The Qt face of a radio group: a framed box with one radio button per item.

#include "FrameBox.h"
#include <QRadioButton>
#include <functional>
#include <string>
#include <vector>

namespace vol {

/// A group box holding the items of a radio group, laid out in one column the classic
/// way (equal rows below the caption). A click on an item calls onChoose with its index;
/// the marks change only through setItemIndex, from the model.
class RadioGroupWidget : public FrameBox {
public:
    explicit RadioGroupWidget(std::function<void(int)> onChoose, QWidget* parent = nullptr);

    /// Replaces the items (does nothing when they are the same).
    void setItems(const std::vector<std::string>& items);
    /// Marks the item (-1: none).
    void setItemIndex(int index);
    int count() const { return static_cast<int>(buttons_.size()); }
    QRadioButton* item(int index) const { return buttons_.at(static_cast<std::size_t>(index)); }
    /// The button that shows the keyboard focus: the marked one, else the first.
    QWidget* focusTarget();
    /// Called with each newly made item button, so the view can watch its input.
    std::function<void(QRadioButton*)> onItemCreated;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void layoutItems();

    std::function<void(int)> onChoose_;
    std::vector<std::string> items_;
    std::vector<QRadioButton*> buttons_;
    int index_ = -1;
};

}  // namespace vol
