#include "protocol/NetFailure.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include "protocol/Asio.h"

namespace wire {

std::string networkFailureText(const std::error_code& error) {
    namespace e = asio::error;
    if (error == e::connection_refused) return "conexão recusada";
    if (error == e::host_not_found || error == e::host_not_found_try_again || error == e::no_data ||
        error == e::service_not_found) {
        return "servidor desconhecido";
    }
    if (error == e::timed_out) return "tempo de espera esgotado";
    if (error == e::network_unreachable || error == e::network_down) return "rede inacessível";
    if (error == e::host_unreachable) return "servidor inacessível";
    if (error == e::connection_reset) return "conexão reiniciada pelo servidor";
    if (error == e::eof || error == asio::ssl::error::stream_truncated) return "o servidor encerrou a conexão";
    if (error == e::broken_pipe || error == e::connection_aborted || error == e::shut_down) {
        return "conexão interrompida";
    }
    if (error == e::operation_aborted) return "operação cancelada";
    if (error.category() == e::get_ssl_category()) {
        // OpenSSL packs library and reason into one number; a refused certificate is the
        // failure a person can act on.
        const auto code = static_cast<unsigned long>(error.value());
        if (ERR_GET_REASON(code) == SSL_R_CERTIFICATE_VERIFY_FAILED) {
            return "falha na conexão segura (TLS): certificado do servidor não reconhecido";
        }
        if (ERR_GET_LIB(code) == ERR_LIB_SYS || ERR_GET_LIB(code) == ERR_LIB_PEM ||
            ERR_GET_LIB(code) == ERR_LIB_X509) {
            return "falha na conexão segura (TLS): certificado da autoridade ilegível";
        }
        return "falha na conexão segura (TLS)";
    }
    if (error.category() == asio::ssl::error::get_stream_category()) return "falha na conexão segura (TLS)";
    if (error == std::errc::no_such_file_or_directory || error == std::errc::permission_denied) {
        return "arquivo de certificado ilegível";
    }
    return "falha de rede, código " + std::to_string(error.value());
}

std::string connectFailureMessage(const std::string& where, const std::string& reason) {
    return "Não foi possível conectar ao servidor de aplicação " + where + " (" + reason + ").";
}

}  // namespace wire
