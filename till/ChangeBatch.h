#pragma once
// One answer of GetAlteracoes, read into the changes a till applies: no I/O.

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace till {

/// One row of the change log as a till sees it.
struct Change {
    long long number = 0;                ///< NRALTERACAO
    char kind = 'R';                     ///< IDALTERACAO: R, B, F, V or P
    std::optional<std::string> product;  ///< CDPRODUTO; none: every product
};

/// The changes after the asked number, complete up to `ate`.
struct ChangeBatch {
    long long ate = 0;
    bool resynchronize = false;  ///< "ressincronizar": load everything again
    std::vector<Change> changes;
};

/// Reads an answer of GetAlteracoes. Throws std::runtime_error (Portuguese) when it is
/// not one.
ChangeBatch readChangeBatch(const nlohmann::json& answer);

}  // namespace till
