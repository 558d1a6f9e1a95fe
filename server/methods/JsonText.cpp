#include "server/methods/JsonText.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "protocol/ValueCodec.h"
#include "server/ops/Utf8Text.h"

namespace server {

// Well-formed UTF-8 without control characters, quotes or backslashes is copied as it is,
// as the JSON library writes it; anything else (what needs an escape, invalid UTF-8) is
// left to the library, so the escapes and replacements are exactly those of
// wire::dumpJson.
void appendJsonString(std::string& out, std::string_view value) {
    // Every byte looked at, without a branch: what needs an escape, and the high bit of
    // what is not ASCII.
    bool escaped = false;
    unsigned char high = 0;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        escaped |= (byte < 0x20) | (c == '"') | (c == '\\');
        high |= byte;
    }
    if (escaped || ((high & 0x80) != 0 && !utf8Characters(value))) {
        out += wire::dumpJson(nlohmann::json(std::string(value)));
        return;
    }
    out += '"';
    out += value;
    out += '"';
}

void appendJsonNumber(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char buffer[64];
    const char* end = nlohmann::detail::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, static_cast<std::size_t>(end - buffer));
}

void appendJsonNumber(std::string& out, const std::optional<double>& value) {
    if (value) {
        appendJsonNumber(out, *value);
    } else {
        out += "null";
    }
}

void appendJsonDate(std::string& out, std::string_view iso) {
    out += R"({"$date":)";
    appendJsonString(out, iso);
    out += '}';
}

}  // namespace server
