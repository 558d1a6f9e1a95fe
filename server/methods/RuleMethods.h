#pragma once
// The stored rules: storing, foretelling a store, listing, removing and their history.

#include "server/methods/MethodContext.h"

namespace server {

/// SetPrecDif(29 arguments): checks the rule and stores its rows in one transaction;
/// {"stored": N, "replaced": M}. Every replaced row goes to the history.
nlohmann::json setPrecDif(const MethodContext& call);
/// SimPrecDif(29 arguments): what SetPrecDif would answer now, the products it covers and
/// the stored rows it would compete with; stores nothing.
nlohmann::json simPrecDif(const MethodContext& call);
/// GetPrecDif(branch, table, period start|null, first product, last product, consumer
/// type, day, valid-on date|null, offset, limit): {"total": N, "rows": packet}.
nlohmann::json getPrecDif(const MethodContext& call);
/// DelPrecDif(branch, table, packet of keys): {"removed": N}; all or nothing.
nlohmann::json delPrecDif(const MethodContext& call);
/// GetPrecDifHist(branch, table, product, offset, limit): {"total": N, "rows": packet},
/// newest first.
nlohmann::json getPrecDifHist(const MethodContext& call);

}  // namespace server
