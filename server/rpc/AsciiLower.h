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

/// True when a and b are the same name but for the letter case of A-Z; compared in
/// place, without a lowered copy.
inline bool sameAsciiName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace server
