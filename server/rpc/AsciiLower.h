#pragma once
// Method and object names are matched without regard to letter case, as the screen's
// platform resolves them; they are ASCII, so a byte-wise lowering is exact.

#include <string>
#include <string_view>

namespace server {

/// text with A-Z lowered; every other byte as it was.
inline std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

}  // namespace server
