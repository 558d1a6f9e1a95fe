#pragma once
// How a client's server connection (a screen's, a till's) authenticates and protects
// itself, and how long it waits: set by the program, with defaults from the environment.

#include <chrono>
#include <string>

namespace wire {

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

    /// The defaults, overridden by the environment of the process:
    /// VND_SERVER_TOKEN_FILE (first line of that file) or VND_SERVER_TOKEN, VND_SERVER_CA,
    /// VND_CALL_TIMEOUT (whole seconds). A token file that cannot be read leaves the
    /// token empty, so the server's refusal tells the user.
    static NetSettings fromEnvironment();
    /// The token of a token file: its first line, trailing blanks and "\r" dropped; empty
    /// when the file cannot be read.
    static std::string tokenFromFile(const std::string& file);
};

}  // namespace wire
