#pragma once
// The failure of a command line or configuration file that the user must correct.

#include <stdexcept>

namespace server {

/// A wrong use of vnd-server (exit status 2): an unknown option or key, a missing or bad
/// value. The text is Portuguese and says what to correct.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace server
