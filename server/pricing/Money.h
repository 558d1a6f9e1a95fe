#pragma once
// Prices in cents as the people and the files of a Brazilian store write them.

#include <string>

namespace server {

/// "1.234,56": thousands grouped by points, a comma before the cents, "-" before a
/// negative amount; no currency sign.
std::string moneyText(long long cents);
/// "1234,56": no grouping, for `;`-separated files.
std::string decimalText(long long cents);
/// The double whose shortest text has at most two decimals: 1699 -> 16.99.
double centsToDouble(long long cents);

}  // namespace server
