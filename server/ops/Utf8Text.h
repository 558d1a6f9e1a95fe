#pragma once
// Text read from files and command lines, which the screens show as UTF-8.

#include <cstddef>
#include <optional>
#include <string_view>

namespace server {

/// The number of characters of text when it is well-formed UTF-8 (no overlong form, no
/// surrogate, nothing past U+10FFFF, no sequence cut short); nullopt otherwise, as for
/// Latin-1 bytes ("S\xe3o").
std::optional<std::size_t> utf8Characters(std::string_view text);

}  // namespace server
