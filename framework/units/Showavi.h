#pragma once
// The progress animation unit.

#include <string>

#include "ui/UserInterface.h"

namespace vol {

/// Shows the progress animation of the kind over the host's main window, with an
/// optional caption, until DeactiveShowAvi.
void ActiveShowAvi(ProgressKind kind, const std::string& caption = {});
/// Hides the progress animation; harmless when none shows.
void DeactiveShowAvi();

}  // namespace vol
