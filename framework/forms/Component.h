#pragma once
// The root of everything a form owns: controls and non-visual components.

#include <string>

namespace vol {

class Form;

/// A named part of a form. The form owns its components and destroys them with itself;
/// a component never outlives its owner.
class Component {
public:
    Component(Form* owner, std::string name) : owner_(owner), name_(std::move(name)) {}
    virtual ~Component() = default;
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    const std::string& name() const { return name_; }
    /// The owning form; null only for a form itself.
    Form* owner() const { return owner_; }

private:
    Form* owner_;
    std::string name_;
};

}  // namespace vol
