#include "server/methods/PacketBuilder.h"

#include <charconv>

#include "server/methods/JsonText.h"

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

}  // namespace

PacketBuilder::PacketBuilder(std::vector<PacketField> fields) : fields_(std::move(fields)) {
    start();
}

void PacketBuilder::start() {
    // The fields come first, the rows after them in the same text: the packet is never
    // copied. The keys in the order the JSON library keeps them: sorted.
    text_ = R"({"$packet":{"fields":[)";
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        const PacketField& f = fields_[i];
        text_ += i == 0 ? R"({"name":)" : R"(,{"name":)";
        appendJsonString(text_, f.name);
        text_ += R"(,"size":)";
        text_ += std::to_string(f.size);
        text_ += R"(,"type":")";
        text_ += typeName(f.type);
        text_ += "\"}";
    }
    text_ += R"(],"rows":[)";
    rows_ = 0;
    rowStarted_ = false;
}

PacketBuilder& PacketBuilder::row() {
    if (rows_ > 0) {
        text_ += "],";
    }
    text_ += '[';
    ++rows_;
    rowStarted_ = false;
    return *this;
}

void PacketBuilder::cell() {
    if (rowStarted_) {
        text_ += ',';
    }
    rowStarted_ = true;
}

PacketBuilder& PacketBuilder::text(std::string_view value) {
    cell();
    appendJsonString(text_, value);
    return *this;
}

PacketBuilder& PacketBuilder::date(std::string_view iso) {
    cell();
    appendJsonDate(text_, iso);
    return *this;
}

PacketBuilder& PacketBuilder::integer(long long value) {
    cell();
    char buffer[24];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    text_.append(buffer, static_cast<std::size_t>(end - buffer));
    return *this;
}

PacketBuilder& PacketBuilder::number(double value) {
    cell();
    appendJsonNumber(text_, value);
    return *this;
}

PacketBuilder& PacketBuilder::number(const std::optional<double>& value) {
    return value ? number(*value) : null();
}

PacketBuilder& PacketBuilder::null() {
    cell();
    text_ += "null";
    return *this;
}

std::string PacketBuilder::takeText() {
    text_ += rows_ > 0 ? "]]}}" : "]}}";
    std::string out = std::move(text_);
    start();
    return out;
}

nlohmann::json PacketBuilder::take() {
    return nlohmann::json::parse(takeText());
}

}  // namespace server
