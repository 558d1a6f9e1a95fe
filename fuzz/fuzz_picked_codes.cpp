// The picked-codes parse with any text: no crash, codes of at most ten characters, and
// never more codes than "_" in the text.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "submit/PickedCodes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto codes = vnd::parsePickedCodes(text);
    const auto bars = static_cast<std::size_t>(std::count(text.begin(), text.end(), '_'));
    if (codes.size() > bars) {
        std::abort();
    }
    for (const auto& code : codes) {
        if (code.size() > 10) {
            std::abort();
        }
    }
    return 0;
}
