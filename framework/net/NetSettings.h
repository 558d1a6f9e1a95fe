#pragma once
// How the screen's server connection authenticates and protects itself, and how long it
// waits: set by the host, with defaults from the environment.

#include <chrono>
#include <string>

namespace vol {

/// The security and patience of one server connection.
struct NetSettings {
    /// The server's access token, sent first on every connection; empty for none.
    std::string token;
    /// PEM file of the authority that signed the server's certificate: set, the
    /// connection speaks TLS and accepts only a server whose certificate it signed for
    /// the host name or address connected to. Empty: plain TCP.
    std::string trustedCaFile;
    std::chrono::milliseconds connectTimeout = std::chrono::seconds(10);
    /// How long one call waits for its answer; a rule for many products takes a while.
    std::chrono::milliseconds callTimeout = std::chrono::seconds(300);

    /// The defaults, overridden by the environment of the host process:
    /// VND_SERVER_TOKEN_FILE (first line of that file) or VND_SERVER_TOKEN, VND_SERVER_CA,
    /// VND_CALL_TIMEOUT (whole seconds). A token file that cannot be read leaves the
    /// token empty, so the server's refusal tells the user.
    static NetSettings fromEnvironment();
};

}  // namespace vol
