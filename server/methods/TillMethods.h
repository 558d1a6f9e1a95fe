#pragma once
// What the tills follow: the change log and a consistent snapshot of their price data.

#include "server/methods/MethodContext.h"

namespace server {

/// GetAlteracoes(branch, table, since, limit, wait): the changes above `since` that
/// concern the branch and table, {"ate", "ressincronizar", "alteracoes"}. With
/// call.mayWait and nothing new, throws NothingNewYet instead.
nlohmann::json getAlteracoes(const MethodContext& call);
/// GetDadosPreco(branch, table, first product, last product, limit): one snapshot of
/// the products of the range (at most limit) with their base prices and rules, and the
/// table's periods, the branch's holidays and the consumer types.
nlohmann::json getDadosPreco(const MethodContext& call);

}  // namespace server
