#include "server/net/TlsContext.h"

#include <stdexcept>

#include "server/net/ServerOptions.h"

namespace server {

namespace {

void loadFiles(asio::ssl::context& context, const ServerOptions& options) {
    try {
        context.use_certificate_chain_file(options.tlsCertificateFile);
        context.use_private_key_file(options.tlsKeyFile, asio::ssl::context::pem);
    } catch (const std::system_error& e) {
        throw std::runtime_error("Não foi possível ler o certificado TLS " +
                                 options.tlsCertificateFile + " ou sua chave " +
                                 options.tlsKeyFile + ": " + e.code().message());
    }
}

}  // namespace

TlsContext::TlsContext(const ServerOptions& options) : options_(options) {
    if (options.tlsCertificateFile.empty() != options.tlsKeyFile.empty()) {
        throw std::runtime_error("Para TLS informe o certificado e a chave privada juntos.");
    }
    if (!enabled()) {
        return;
    }
    context_.set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                         asio::ssl::context::no_sslv3 | asio::ssl::context::no_tlsv1 |
                         asio::ssl::context::no_tlsv1_1 | asio::ssl::context::single_dh_use);
    loadFiles(context_, options);
}

bool TlsContext::enabled() const {
    return !options_.tlsCertificateFile.empty();
}

void TlsContext::check(const ServerOptions& options) {
    TlsContext trial(options);
}

void TlsContext::reload() {
    loadFiles(context_, options_);
}

}  // namespace server
