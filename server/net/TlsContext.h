#pragma once
// The TLS context a server's connections are made from.

#include "protocol/Asio.h"

namespace server {

struct ServerOptions;

/// The certificate chain and private key of the options, loaded into one context. Without
/// them connections speak plain TCP and the context is never used.
class TlsContext {
public:
    /// Throws std::runtime_error (Portuguese text) when only one of the two files is
    /// given or either cannot be read.
    explicit TlsContext(const ServerOptions& options);
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    /// Whether connections speak TLS.
    bool enabled() const;
    asio::ssl::context& context() { return context_; }

    /// Throws as the constructor does when the files cannot be read now; loads nothing.
    static void check(const ServerOptions& options);
    /// Reads the certificate and key files again, for the connections made from now on
    /// (those made before keep theirs). Call where no connection is being made from the
    /// context, after check(). Throws std::runtime_error (Portuguese text).
    void reload();

private:
    const ServerOptions& options_;
    asio::ssl::context context_{asio::ssl::context::tls_server};
};

}  // namespace server
