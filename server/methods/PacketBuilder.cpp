#include "server/methods/PacketBuilder.h"

#include <charconv>
#include <cmath>

#include "protocol/ValueCodec.h"

namespace server {

namespace {

const char* typeName(CellType type) {
    switch (type) {
        case CellType::Text: return "string";
        case CellType::Date: return "date";
        case CellType::Integer: return "integer";
        case CellType::Number: return "number";
    }
    return "string";
}

// A JSON string. Printable ASCII other than the quote and the backslash is copied as it
// is; anything else (control characters, non-ASCII, invalid UTF-8) is left to the JSON
// library, so the escapes and replacements are exactly those of wire::dumpJson.
void appendString(std::string& out, std::string_view value) {
    for (const char c : value) {
        if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') {
            out += wire::dumpJson(nlohmann::json(std::string(value)));
            return;
        }
    }
    out += '"';
    out += value;
    out += '"';
}

}  // namespace

PacketBuilder::PacketBuilder(std::vector<PacketField> fields) : fields_(std::move(fields)) {}

PacketBuilder& PacketBuilder::row() {
    if (rows_ > 0) {
        rowsText_ += "],";
    }
    rowsText_ += '[';
    ++rows_;
    rowStarted_ = false;
    return *this;
}

void PacketBuilder::cell() {
    if (rowStarted_) {
        rowsText_ += ',';
    }
    rowStarted_ = true;
}

PacketBuilder& PacketBuilder::text(std::string_view value) {
    cell();
    appendString(rowsText_, value);
    return *this;
}

PacketBuilder& PacketBuilder::date(std::string_view iso) {
    cell();
    rowsText_ += R"({"$date":)";
    appendString(rowsText_, iso);
    rowsText_ += '}';
    return *this;
}

PacketBuilder& PacketBuilder::integer(long long value) {
    cell();
    char buffer[24];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    rowsText_.append(buffer, static_cast<std::size_t>(end - buffer));
    return *this;
}

PacketBuilder& PacketBuilder::number(double value) {
    cell();
    if (!std::isfinite(value)) {
        rowsText_ += "null";
        return *this;
    }
    // The JSON library's own shortest form (with ".0" on whole numbers), as its dump
    // writes a number.
    char buffer[64];
    const char* end = nlohmann::detail::to_chars(buffer, buffer + sizeof buffer, value);
    rowsText_.append(buffer, static_cast<std::size_t>(end - buffer));
    return *this;
}

PacketBuilder& PacketBuilder::number(const std::optional<double>& value) {
    return value ? number(*value) : null();
}

PacketBuilder& PacketBuilder::null() {
    cell();
    rowsText_ += "null";
    return *this;
}

std::string PacketBuilder::takeText() {
    // The keys in the order the JSON library keeps them: sorted.
    std::string out = R"({"$packet":{"fields":[)";
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const PacketField& f = fields_[i];
        out += i == 0 ? R"({"name":)" : R"(,{"name":)";
        appendString(out, f.name);
        out += R"(,"size":)";
        out += std::to_string(f.size);
        out += R"(,"type":")";
        out += typeName(f.type);
        out += "\"}";
    }
    out += R"(],"rows":[)";
    out.reserve(out.size() + rowsText_.size() + 8);
    out += rowsText_;
    out += rows_ > 0 ? "]]}}" : "]}}";
    rowsText_.clear();
    rows_ = 0;
    rowStarted_ = false;
    return out;
}

nlohmann::json PacketBuilder::take() {
    return nlohmann::json::parse(takeText());
}

}  // namespace server
