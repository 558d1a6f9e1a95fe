#pragma once
// What a failed PostgreSQL statement's SQLSTATE stands for.

#include "server/store/StoreError.h"

namespace server {

/// The kind of failure of a SQLSTATE (nullptr: none given): what another writer causes,
/// what a missing privilege causes, and so on, whatever language the server writes its
/// messages in.
StoreFailure postgresFailureOf(const char* sqlstate);

}  // namespace server
