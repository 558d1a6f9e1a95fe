// Network failures reach the clerk in Portuguese, never in the system's English.

#include "net/NetFailure.h"

#include <gtest/gtest.h>

#include <ostream>

#include "protocol/Asio.h"

namespace {

struct FailureCase {
    const char* name;
    std::error_code error;
    const char* text;
};
std::ostream& operator<<(std::ostream& os, const FailureCase& c) { return os << c.name; }

class NetFailureText : public testing::TestWithParam<FailureCase> {};

TEST_P(NetFailureText, IsPortuguese) {
    EXPECT_EQ(vol::networkFailureText(GetParam().error), GetParam().text);
}

namespace e = asio::error;
INSTANTIATE_TEST_SUITE_P(
    Codes, NetFailureText,
    testing::Values(
        FailureCase{"refused", make_error_code(e::connection_refused), "conexão recusada"},
        FailureCase{"unknown_host", make_error_code(e::host_not_found), "servidor desconhecido"},
        FailureCase{"unknown_host_for_now", make_error_code(e::host_not_found_try_again), "servidor desconhecido"},
        FailureCase{"unknown_service", make_error_code(e::service_not_found), "servidor desconhecido"},
        FailureCase{"timeout", make_error_code(e::timed_out), "tempo de espera esgotado"},
        FailureCase{"no_network", make_error_code(e::network_unreachable), "rede inacessível"},
        FailureCase{"no_route", make_error_code(e::host_unreachable), "servidor inacessível"},
        FailureCase{"reset", make_error_code(e::connection_reset), "conexão reiniciada pelo servidor"},
        FailureCase{"closed", make_error_code(e::misc_errors::eof), "o servidor encerrou a conexão"},
        FailureCase{"broken", make_error_code(e::broken_pipe), "conexão interrompida"},
        FailureCase{"tls_truncated", make_error_code(asio::ssl::error::stream_truncated),
                    "o servidor encerrou a conexão"},
        FailureCase{"tls_certificate",
                    std::error_code(static_cast<int>(ERR_PACK(ERR_LIB_SSL, 0, SSL_R_CERTIFICATE_VERIFY_FAILED)),
                                    e::get_ssl_category()),
                    "falha na conexão segura (TLS): certificado do servidor não reconhecido"},
        FailureCase{"tls_other",
                    std::error_code(static_cast<int>(ERR_PACK(ERR_LIB_SSL, 0, SSL_R_WRONG_VERSION_NUMBER)),
                                    e::get_ssl_category()),
                    "falha na conexão segura (TLS)"},
        FailureCase{"unknown", std::error_code(9999, std::generic_category()), "falha de rede, código 9999"}),
    [](const testing::TestParamInfo<FailureCase>& p) { return std::string(p.param.name); });

TEST(NetFailureMessage, NamesHostPortAndReason) {
    EXPECT_EQ(vol::connectFailureMessage("10.0.0.5:7400", "conexão recusada"),
              "Não foi possível conectar ao servidor de aplicação 10.0.0.5:7400 (conexão recusada).");
}

}  // namespace
