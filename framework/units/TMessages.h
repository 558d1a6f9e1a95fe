#pragma once
// A screen's message catalogue.

#include <string>
#include <vector>

#include "forms/Component.h"

namespace vol {

/// An ordered list of "key|text" entries. Msg finds a text by key, letter case ignored;
/// the key is what stands before the first vertical bar.
class TMessages : public Component {
public:
    TMessages(Form& owner, std::string name) : Component(&owner, std::move(name)) {}

    std::vector<std::string> Messages;

    /// The text of the first entry whose key matches (letter case ignored); an unknown
    /// key gives the key itself, so that a missing entry still shows something.
    std::string Msg(const std::string& key) const;
};

}  // namespace vol
