#pragma once
// The failure of a command line that the user must correct.

#include <stdexcept>

namespace server {

/// A wrong use of vnd-server (exit status 2): an unknown command or option, a missing or
/// bad value. The text is Portuguese and says what to correct. (A wrong setting of serve
/// is a ConfigError.)
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace server
