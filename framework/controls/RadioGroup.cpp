#include "controls/RadioGroup.h"

#include <stdexcept>

namespace vol {

RadioGroup::RadioGroup(Form& owner, Control* parent, std::string name)
    : Control(owner, parent, std::move(name), ControlKind::RadioGroup) {
    setTabStop(true);
}

void RadioGroup::setItems(std::vector<std::string> items) {
    items_ = std::move(items);
    if (itemIndex_ >= static_cast<int>(items_.size())) itemIndex_ = -1;
    changed();
}

void RadioGroup::setItemIndex(int index) {
    if (index < -1 || index >= static_cast<int>(items_.size())) {
        throw std::out_of_range("radio group " + name() + " has no item " + std::to_string(index));
    }
    if (index == itemIndex_) return;
    itemIndex_ = index;
    changed();
    if (OnClick) OnClick(*this);
}

}  // namespace vol
