#pragma once
// Who a connection says is calling, as rpc.hello names them: pure, no session.

#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

namespace server {

/// The user and workstation a client names in rpc.hello, recorded with the changes it
/// makes. The token proves the workstation; these names are the workstation's word.
struct Hello {
    /// Longest user or station name, in characters.
    static constexpr std::size_t kMaxText = 64;

    std::string user;     ///< empty when not given
    std::string station;  ///< empty when not given (the peer's address then stands for it)

    /// Reads the params {"user": TEXT, "station": TEXT}; a member may be absent, others
    /// are ignored. Throws wire::RpcError(kInvalidParams) with a Portuguese text for
    /// params that are not an object, or a member that is not text, is longer than
    /// kMaxText characters or holds a control character (it would end up in the history
    /// and the log).
    static Hello read(const nlohmann::json& params);
};

}  // namespace server
