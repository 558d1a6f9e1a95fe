#include "till/ChangeBatch.h"

#include <stdexcept>

#include "protocol/ValueCodec.h"
#include "till/PacketColumns.h"

namespace till {

ChangeBatch readChangeBatch(const nlohmann::json& answer) {
    if (!answer.is_object() || !answer.contains("ate") || !answer["ate"].is_number_integer() ||
        !answer.contains("ressincronizar") || !answer["ressincronizar"].is_boolean() ||
        !answer.contains("alteracoes")) {
        throw std::runtime_error("resposta de GetAlteracoes fora do formato esperado");
    }
    ChangeBatch batch;
    batch.ate = answer["ate"].get<long long>();
    batch.resynchronize = answer["ressincronizar"].get<bool>();
    const PacketColumns rows(answer["alteracoes"], "alteracoes");
    const int number = rows.column("NRALTERACAO");
    const int kind = rows.column("IDALTERACAO");
    const int product = rows.column("CDPRODUTO");
    for (const wire::Row& row : rows.rows()) {
        const std::string kindText = rows.text(row, kind);
        if (kindText.size() != 1 || std::string_view("RBFVP").find(kindText[0]) == std::string_view::npos) {
            throw std::runtime_error("alteração de tipo desconhecido: " + kindText);
        }
        batch.changes.push_back({rows.integer(row, number), kindText[0], row[product]});
    }
    return batch;
}

}  // namespace till
