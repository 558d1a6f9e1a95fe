#include "server/rpc/StoreCallError.h"

#include "server/rpc/AsciiLower.h"

namespace server {

std::string failureMessage(std::string_view method, StoreFailure kind, bool duringCommit) {
    const std::string m = asciiLower(method);
    const bool store = m == "setprecdif";
    if (store && duringCommit) {
        return "Não foi possível confirmar se a regra foi gravada: a conexão com o banco de "
               "dados caiu durante a confirmação. Consulte as regras gravadas; repetir a "
               "gravação é seguro, pois a mesma regra substitui a anterior.";
    }
    if (m == "delprecdif" && duringCommit) {
        return "Não foi possível confirmar se as regras foram excluídas: a conexão com o banco "
               "de dados caiu durante a confirmação. Consulte as regras gravadas; repetir a "
               "exclusão é seguro, pois uma regra já excluída é apenas informada como não "
               "gravada.";
    }
    const char* action = store                  ? "gravar a regra"
                         : m == "getfilial"     ? "consultar as filiais"
                         : m == "gettabeprec"   ? "consultar as tabelas de preço"
                         : m == "getvigencia"   ? "consultar as vigências"
                                                : "atender a chamada";
    const char* reason = "o banco de dados recusou a operação";
    switch (kind) {
        case StoreFailure::Busy:
            reason = "o banco de dados está ocupado com outra gravação; tente novamente";
            break;
        case StoreFailure::Timeout:
            reason = "o banco de dados não respondeu a tempo; tente novamente em instantes";
            break;
        case StoreFailure::Unavailable:
            reason = "o banco de dados está indisponível; tente novamente em instantes";
            break;
        case StoreFailure::Lost:
            reason = "a conexão com o banco de dados caiu; tente novamente";
            break;
        case StoreFailure::Interrupted:
            reason = store ? "o servidor de aplicação foi encerrado antes de concluir a "
                             "gravação; nada foi gravado"
                           : "o servidor de aplicação está sendo encerrado";
            break;
        case StoreFailure::Permission:
            reason = "o banco de dados recusou a operação (permissão)";
            break;
        case StoreFailure::ReadOnly:
            reason = "o banco de dados recusou a operação (somente leitura)";
            break;
        case StoreFailure::Space:
            reason = "o banco de dados está sem espaço";
            break;
        case StoreFailure::Other:
            break;
    }
    return std::string("Não foi possível ") + action + ": " + reason + ".";
}

}  // namespace server
