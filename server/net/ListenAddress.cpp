#include "server/net/ListenAddress.h"

#include <stdexcept>
#include <system_error>

#include "server/net/ServerOptions.h"

namespace server {

ListenAddress ListenAddress::parse(const std::string& text) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) {
        throw std::invalid_argument("Endereço de escuta inválido: \"" + text +
                                    "\" (use HOST:PORTA).");
    }
    std::string host = text.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    const std::string port = text.substr(colon + 1);
    if (port.find_first_not_of("0123456789") != std::string::npos || port.size() > 5 ||
        std::stoi(port) > 65535) {
        throw std::invalid_argument("Porta inválida em \"" + text + "\".");
    }
    return {host, port};
}

asio::ip::tcp::endpoint ListenAddress::admitted(asio::io_context& io,
                                                const ServerOptions& options) const {
    const std::string where = host + ":" + port;
    asio::ip::tcp::endpoint endpoint;
    try {
        asio::ip::tcp::resolver resolver(io);
        endpoint = resolver.resolve(host, port)->endpoint();
    } catch (const std::system_error& e) {
        throw std::runtime_error("Não foi possível escutar em " + where + ": " +
                                 e.code().message());
    }
    const bool loopback = isLoopback(endpoint.address());
    if (!loopback && options.token.empty()) {
        throw std::runtime_error(
            "Recusado escutar em " + where +
            ": fora do endereço local (loopback) o servidor exige um token de acesso "
            "(--token-file ou VND_SERVER_TOKEN).");
    }
    if (!loopback && options.tlsCertificateFile.empty() && !options.allowPlainText) {
        throw std::runtime_error(
            "Recusado escutar em " + where +
            " sem TLS: fora do endereço local (loopback) o token de acesso passaria pela "
            "rede em texto claro; use --tls-cert/--tls-key (ou --allow-plaintext, se o "
            "texto claro for intencional).");
    }
    return endpoint;
}

bool ListenAddress::isLoopback(const asio::ip::address& address) {
    if (address.is_v6() && address.to_v6().is_v4_mapped()) {
        return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6()).is_loopback();
    }
    return address.is_loopback();
}

}  // namespace server
