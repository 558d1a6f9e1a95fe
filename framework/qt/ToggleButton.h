#pragma once
// A check box or radio button that does not change itself when clicked.

#include <functional>
#include <utility>

namespace vol {

/// A Qt toggle button (QCheckBox, QRadioButton) whose click is handed to a callback
/// instead of flipping the mark: the control model decides the new state and the view
/// mirrors it back. Keyboard clicks never reach it (the view consumes the keys).
template <class Button>
class ToggleButton : public Button {
public:
    explicit ToggleButton(std::function<void()> onClick, QWidget* parent = nullptr)
        : Button(parent), onClick_(std::move(onClick)) {
        this->setAutoExclusive(false);
    }

protected:
    void nextCheckState() override {
        if (onClick_) onClick_();
    }

private:
    std::function<void()> onClick_;
};

}  // namespace vol
