#include "PacketBuilder.h"

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

PacketBuilder::PacketBuilder(std::vector<PacketField> fields) : fields_(std::move(fields)) {}

PacketBuilder& PacketBuilder::row() {
    rows_.push_back(nlohmann::json::array());
    return *this;
}

PacketBuilder& PacketBuilder::text(std::string_view value) {
    rows_.back().push_back(value);
    return *this;
}

PacketBuilder& PacketBuilder::date(std::string_view iso) {
    rows_.back().push_back({{"$date", iso}});
    return *this;
}

PacketBuilder& PacketBuilder::integer(long long value) {
    rows_.back().push_back(value);
    return *this;
}

PacketBuilder& PacketBuilder::number(double value) {
    rows_.back().push_back(value);
    return *this;
}

PacketBuilder& PacketBuilder::number(const std::optional<double>& value) {
    return value ? number(*value) : null();
}

PacketBuilder& PacketBuilder::null() {
    rows_.back().push_back(nullptr);
    return *this;
}

nlohmann::json PacketBuilder::take() {
    nlohmann::json fields = nlohmann::json::array();
    for (const PacketField& f : fields_) {
        fields.push_back({{"name", f.name}, {"type", typeName(f.type)}, {"size", f.size}});
    }
    nlohmann::json packet = {{"$packet", {{"fields", std::move(fields)}, {"rows", std::move(rows_)}}}};
    rows_ = nlohmann::json::array();
    return packet;
}

}  // namespace server
