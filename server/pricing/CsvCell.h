#pragma once
// One cell of the `;`-separated files the command lines and the tills write.

#include <string>

namespace server {

/// The text as a cell: quoted, its quotes doubled, when it holds the separator, a quote
/// or a line break; else as it is.
std::string csvCell(const std::string& text);

}  // namespace server
