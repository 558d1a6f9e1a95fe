#pragma once
// Cancelling the statement a PostgreSQL connection runs, without waiting for it.

#include <libpq-fe.h>

namespace server {

/// Asks the server to cancel the connection's running statement, on a thread of its own:
/// the request opens a connection of its own, which libpq makes without any bound, and a
/// caller abandons a statement exactly when the server may not be answering. A few such
/// requests at a time at most; beyond them the statement ends by the server's own bound.
/// conn may be closed as soon as this returns.
void cancelInBackground(PGconn* conn);

}  // namespace server
