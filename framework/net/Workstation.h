#pragma once
// Who sits at this workstation, as the server is told after every connect (rpc.hello).

#include <cstddef>
#include <string>

namespace vol {

/// The operating-system login and the host name of this process, each at most kMaxText
/// characters of valid UTF-8.
struct Workstation {
    /// Longest name the server takes.
    static constexpr std::size_t kMaxText = 64;

    std::string user;
    std::string host;

    /// This process's: the login of its effective user (from the user database, else
    /// $USER or $LOGNAME, else empty) and the host name (empty when unknown). Looked up
    /// once.
    static const Workstation& current();
    /// text made valid UTF-8 (a byte that is not becomes U+FFFD) and cut to its first
    /// max characters.
    static std::string cut(const std::string& text, std::size_t max = kMaxText);
};

}  // namespace vol
