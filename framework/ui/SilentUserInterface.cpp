#include "ui/SilentUserInterface.h"

#include <iostream>

namespace vol {

void SilentUserInterface::showError(const std::string& text) { std::cerr << text << '\n'; }

}  // namespace vol
