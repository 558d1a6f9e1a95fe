#pragma once
// A framed group of mutually exclusive items, read by its item index.

#include <string>
#include <vector>

#include "controls/Control.h"

namespace vol {

/// A radio group: one control with a list of items; exactly one item is chosen (or none,
/// index -1). A change of the item index, by the user or by code, raises OnClick.
class RadioGroup : public Control {
public:
    RadioGroup(Form& owner, Control* parent, std::string name);

    const std::vector<std::string>& items() const { return items_; }
    void setItems(std::vector<std::string> items);
    int itemIndex() const { return itemIndex_; }
    /// Chooses an item (-1 for none); an index outside the items throws
    /// std::out_of_range.
    void setItemIndex(int index);

private:
    std::vector<std::string> items_;
    int itemIndex_ = -1;
};

}  // namespace vol
