#pragma once
// The host's settings that the screens read through the Volpari unit.

#include <string>

namespace vol {

/// What the host tells its screens: the current branch and whether it is fixed, the
/// application server's address, the edit pictures, the locale's formats.
struct HostSettings {
    std::string branch;                         ///< FiliProc: the host's current branch code
    bool branchFixed = false;                   ///< ModuFili: rules only for the host's branch
    std::string serverHost = "127.0.0.1";       ///< WebURL
    int serverPort = 7400;                      ///< WebPort
    std::string productPicture = "99.99.999;0; ";  ///< DBPict, picture kind 0
    std::string shortDateFormat = "dd/mm/yyyy";  ///< the locale's short date pattern
    char decimalSeparator = ',';                 ///< the locale's decimal separator
};

}  // namespace vol
