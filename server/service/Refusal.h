#pragma once
// A call the service will not carry out, in the words the person at the screen is shown.

#include <stdexcept>
#include <string>

namespace server {

/// Thrown by the service for a call it refuses; nothing was changed. The text is
/// Portuguese and complete, for the screen as it stands.
class Refusal : public std::runtime_error {
public:
    enum class Reason {
        Argument,  ///< an argument names a code that is not stored, or is no valid value
        Rule,      ///< the rule may not be stored as it is
    };

    Refusal(Reason reason, const std::string& message)
        : std::runtime_error(message), reason_(reason) {}
    Reason reason() const { return reason_; }

private:
    Reason reason_;
};

}  // namespace server
