#pragma once
// The host's settings as the screens read them.

#include <string>

namespace vol {

/// Kinds of edit picture the host keeps.
enum class TPictType { Produto = 0 };

/// The host's current branch code.
std::string FiliProc();
/// The current branch's name, read from the local database ("" when unknown).
std::string NomeFiliProc();
/// True when the host fixes the branch: rules only for its own branch.
bool ModuFili();
/// The application server's host name or address.
std::string WebURL();
/// The application server's port.
int WebPort();
/// The edit picture of a kind (kind 0: the product code, e.g. "99.99.999;0; ").
std::string DBPict(TPictType kind);

}  // namespace vol
