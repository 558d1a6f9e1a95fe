#pragma once
// Network failures in the clerk's words, for every client of the server: the screens' and
// the tills'.

#include <string>
#include <system_error>

namespace wire {

/// The Portuguese name of a network failure, as it goes inside the parentheses of the
/// connection messages: "conexão recusada", "servidor desconhecido", "tempo esgotado",
/// "falha na conexão segura (TLS)"… Every code has a Portuguese text, an unknown one its
/// number, so no text of the operating system or of a library reaches the user.
std::string networkFailureText(const std::error_code& error);

/// "Não foi possível conectar ao servidor de aplicação HOST:PORT (reason)."
std::string connectFailureMessage(const std::string& where, const std::string& reason);

}  // namespace wire
