// Date patterns as a client sends them: any pattern is accepted or refused cleanly, and
// an accepted pattern with a four-digit year reads back every date it writes.

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

#include "protocol/DatePattern.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    // The first three bytes choose a date; the rest is the pattern.
    const wire::Date date = wire::Date::fromDaysSinceEpoch(
        static_cast<long>((data[0] << 16 | data[1] << 8 | data[2]) % 2958465));
    const std::string_view pattern(reinterpret_cast<const char*>(data + 3), size - 3);
    try {
        const wire::DatePattern p(pattern);
        const std::string text = p.format(date);
        const auto back = p.parse(text);
        std::string lower(pattern);
        for (char& c : lower) {
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
        if (lower.find("yyyy") != std::string::npos && date.year >= 1 && (!back || *back != date)) {
            std::abort();
        }
        (void)p.parse(pattern);
    } catch (const std::invalid_argument&) {
        // a refused pattern is the expected answer to most inputs
    }
    return 0;
}
