#include "server/net/ListenAddress.h"

#include <stdexcept>

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

bool ListenAddress::isLoopback(const asio::ip::address& address) {
    if (address.is_v6() && address.to_v6().is_v4_mapped()) {
        return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6()).is_loopback();
    }
    return address.is_loopback();
}

}  // namespace server
