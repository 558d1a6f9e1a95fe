#pragma once
// A setting of the server that its administrator must correct.

#include <stdexcept>

namespace server {

/// A wrong setting, from a configuration file or an option standing for one of its keys:
/// a line that is no setting, an unknown key, a missing or bad value. The text is
/// Portuguese, names where the setting was read ("FILE:LINE: key" or "--key") and says
/// what to correct. The program ends with exit status 2, as for a wrong command line.
class ConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace server
