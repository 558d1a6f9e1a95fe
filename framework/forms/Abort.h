#pragma once
// The silent end of a user action.

#include <exception>

namespace vol {

/// Raised by MensErro after its text has been shown: it unwinds the running user action
/// to the action boundary, which ends the action without showing anything more.
class Abort : public std::exception {
public:
    const char* what() const noexcept override { return "Operação interrompida."; }
};

}  // namespace vol
