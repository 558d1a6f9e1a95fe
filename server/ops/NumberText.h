#pragma once
// A double as text for files, pages and the database: the shortest form that reads back
// as the same double.

#include <string>

namespace server {

/// "1.5", "0.001", "1e+21": the shortest text from which the same double is read back
/// (std::to_chars), never with a locale's separators.
std::string numberText(double value);

}  // namespace server
