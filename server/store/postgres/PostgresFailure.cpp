#include "server/store/postgres/PostgresFailure.h"

#include <string_view>

namespace server {

StoreFailure postgresFailureOf(const char* state) {
    if (state == nullptr) {
        return StoreFailure::Other;
    }
    const std::string_view code(state);
    if (code == "40001" || code == "40P01" || code == "55P03") {
        return StoreFailure::Busy;
    }
    if (code == "42501") {
        return StoreFailure::Permission;
    }
    if (code == "25006") {
        return StoreFailure::ReadOnly;
    }
    if (code == "57014") {
        return StoreFailure::Timeout;  // the server's own statement_timeout
    }
    if (code == "53300") {
        return StoreFailure::Unavailable;  // too many connections
    }
    if (code.starts_with("53")) {
        return StoreFailure::Space;
    }
    if (code.starts_with("08") || code == "57P01" || code == "57P02" || code == "57P03") {
        return StoreFailure::Lost;
    }
    return StoreFailure::Other;
}

}  // namespace server
