#include "units/TMessages.h"

#include <cctype>

namespace vol {

namespace {
bool sameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}
}  // namespace

std::string TMessages::Msg(const std::string& key) const {
    for (const std::string& entry : Messages) {
        std::size_t bar = entry.find('|');
        if (bar == std::string::npos) continue;
        if (sameKey(std::string_view(entry).substr(0, bar), key)) return entry.substr(bar + 1);
    }
    return key;
}

}  // namespace vol
