#pragma once
// Prices at a moment and the holidays they depend on.

#include "server/methods/MethodContext.h"

namespace server {

/// GetPrecoVigente(branch, table, product, consumer type, date, "HH:MM"): the price and
/// why, as an object (period, day, base, price, applied rule, every rule's verdict),
/// written as JSON text without a tree.
std::string getPrecoVigenteText(const MethodContext& call);
/// GetPrecosVigentes(branch, table, consumer type, date, "HH:MM"): the price book, a packet
/// of one row per product the branch sells, in product-code order, written row by row.
std::string getPrecosVigentesText(const MethodContext& call);
/// GetFeriado(branch, year): the branch's own and every branch's holidays of the year.
std::string getFeriadoText(const MethodContext& call);

}  // namespace server
