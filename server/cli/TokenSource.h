#pragma once
// Where vnd-server takes its access token from: a file or the environment, never the
// command line, where every user of the machine could read it.

#include <optional>
#include <string>

namespace server {

/// The environment variable that may hold the token.
inline constexpr const char* kTokenVariable = "VND_SERVER_TOKEN";

/// The token: the first line of `file` when given (trailing blanks and "\r" dropped),
/// else the value of VND_SERVER_TOKEN, else empty (no token). Throws std::runtime_error
/// (Portuguese text) for a file that cannot be read, that other users may read or write,
/// or whose token is empty or shorter than 16 characters.
std::string loadToken(const std::optional<std::string>& file);

}  // namespace server
