#pragma once
// Writes the JSON form of a data packet whose cells have types: texts, dates as
// {"$date":"YYYY-MM-DD"}, flags and amounts as numbers, and null for no value.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace server {

/// The kinds of cell a packet field holds; the field's "type" on the wire.
enum class CellType { Text, Date, Integer, Number };

/// One field of a typed packet.
struct PacketField {
    std::string_view name;
    CellType type;
    int size = 0;  ///< width of a text field, 0 when not fixed
};

/// Builds {"$packet":{"fields":[...],"rows":[...]}} row by row.
class PacketBuilder {
public:
    explicit PacketBuilder(std::vector<PacketField> fields);

    /// Starts a new row; cells are then added in field order.
    PacketBuilder& row();
    PacketBuilder& text(std::string_view value);
    /// A date cell from "YYYY-MM-DD".
    PacketBuilder& date(std::string_view iso);
    PacketBuilder& integer(long long value);
    PacketBuilder& number(double value);
    PacketBuilder& null();
    /// Cells of optional values: null when absent.
    PacketBuilder& number(const std::optional<double>& value);

    std::size_t rows() const { return rows_.size(); }
    /// The packet's JSON form; the builder is left empty.
    nlohmann::json take();

private:
    std::vector<PacketField> fields_;
    nlohmann::json rows_ = nlohmann::json::array();
};

}  // namespace server
