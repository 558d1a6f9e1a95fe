#include "submit/PickedCodes.h"

namespace vnd {

namespace {
constexpr std::size_t kCodeWidth = 10;
}

std::vector<std::string> parsePickedCodes(std::string_view text) {
    std::vector<std::string> codes;
    codes.reserve(text.size() / (kCodeWidth + 1));
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t bar = text.find('_', pos);
        // No further "_", or one that closes the text: nothing more to read.
        if (bar == std::string_view::npos || bar + 1 == text.size()) break;
        codes.emplace_back(text.substr(bar + 1, kCodeWidth));
        pos = bar + 1 + kCodeWidth;
    }
    return codes;
}

}  // namespace vnd
