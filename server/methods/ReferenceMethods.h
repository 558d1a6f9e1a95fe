#pragma once
// The header lookups of the screens: branches, price tables and validity periods.

#include "server/methods/MethodContext.h"

namespace server {

/// The answers as JSON text, written without a tree.
/// GetFilial(code, all "T"|...): the branch, or every branch, as a packet.
std::string getFilialText(const MethodContext& call);
/// GetTabePrec(branch): the branch's price tables.
std::string getTabePrecText(const MethodContext& call);
/// getVigencia(branch, table, start, all, date pattern): the validity periods, dates
/// written by the pattern.
std::string getVigenciaText(const MethodContext& call);

}  // namespace server
