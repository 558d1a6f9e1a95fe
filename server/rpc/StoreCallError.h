#pragma once
// A call that the database made fail, told to the person at the screen in their words.

#include <string>
#include <string_view>

#include "server/store/StoreError.h"
#include "protocol/JsonRpc.h"

namespace server {

/// The Portuguese sentence for a call of method (short name, any letter case) that
/// failed in the database: what could not be done, from the user's side, and why, e.g.
/// "Não foi possível gravar a regra: o banco de dados recusou a operação (permissão)."
/// Never carries the database's own text or SQL. A store (SetPrecDif) or a removal
/// (DelPrecDif) that failed while its COMMIT was under way is told that it may have taken
/// effect and that asking again is safe.
std::string failureMessage(std::string_view method, StoreFailure kind, bool duringCommit);

/// A call that failed in the database: what() is failureMessage's sentence for the
/// screen, detail() the database's own text with its statement, for the server's log.
/// Answered as kInternalError.
class StoreCallError : public wire::RpcError {
public:
    StoreCallError(StoreFailure kind, std::string_view method, const StoreError& cause)
        : wire::RpcError(wire::rpc::kInternalError,
                         failureMessage(method, kind, cause.duringCommit())),
          kind_(kind),
          detail_(cause.what()) {}

    StoreFailure kind() const { return kind_; }
    const std::string& detail() const { return detail_; }

private:
    StoreFailure kind_;
    std::string detail_;
};

}  // namespace server
