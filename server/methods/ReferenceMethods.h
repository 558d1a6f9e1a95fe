#pragma once
// The header lookups of the screens: branches, price tables and validity periods.

#include "server/methods/MethodContext.h"

namespace server {

/// GetFilial(code, all "T"|...): the branch, or every branch, as a packet.
nlohmann::json getFilial(const MethodContext& call);
std::string getFilialText(const MethodContext& call);
/// GetTabePrec(branch): the branch's price tables.
nlohmann::json getTabePrec(const MethodContext& call);
std::string getTabePrecText(const MethodContext& call);
/// getVigencia(branch, table, start, all, date pattern): the validity periods, dates
/// written by the pattern.
nlohmann::json getVigencia(const MethodContext& call);
std::string getVigenciaText(const MethodContext& call);

}  // namespace server
