#pragma once
// vnd-server serve --check: what a start would find wrong, found without starting.

#include <iosfwd>

#include "server/cli/ServeSettings.h"

namespace server {

/// Checks what serve would use, binding no port and changing nothing: the listening
/// address against the token and TLS settings, the metrics address, the TLS certificate
/// and key, the database (reached, initialised, of a schema this build serves) and the
/// privileges its role needs. The token and the configuration file were checked when the
/// settings were resolved. Returns 0 when serve could start, with what it would serve on
/// out; 1 when the role lacks a privilege the server needs (each named on err with its
/// GRANT, as the server's start warns of them). Throws
/// std::runtime_error (Portuguese text) for anything else that would stop the start.
int checkServe(const ServeSettings::Resolved& settings, std::ostream& out, std::ostream& err);

}  // namespace server
