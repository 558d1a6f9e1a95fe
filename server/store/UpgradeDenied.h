#pragma once
// A schema upgrade the database's role may not make.

#include <stdexcept>

namespace server {

/// The database needs a schema upgrade that the role opening it has no privilege to make
/// (it may not create tables): only the database's owner can, with init. The text is
/// Portuguese and says so. Nothing was changed; trying again as the same role changes
/// nothing either, so a service manager should not restart the server for it.
class UpgradeDenied : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace server
