#pragma once
// The progress animation as a scoped object.

#include <string>

#include "ui/UserInterface.h"

namespace vol {

/// Shows the progress animation over the host's main window for its lifetime: shown in
/// the constructor, hidden in the destructor, so it is hidden on every path out,
/// failures included.
class ProgressAnimation {
public:
    explicit ProgressAnimation(ProgressKind kind, const std::string& caption = {});
    ~ProgressAnimation();
    ProgressAnimation(const ProgressAnimation&) = delete;
    ProgressAnimation& operator=(const ProgressAnimation&) = delete;
};

}  // namespace vol
