#pragma once
// Writes the JSON form of a data packet whose cells have types: texts, dates as
// {"$date":"YYYY-MM-DD"}, flags and amounts as numbers, and null for no value.
//
// The packet is written as JSON text as its cells come, byte for byte what the JSON tree
// of the same cells would dump to (keys in order, the same escapes and the same shortest
// number forms), so that a packet of a hundred thousand rows never exists as a tree.

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
    /// A number cell; one that is not finite is written null, as JSON has no form for it.
    PacketBuilder& number(double value);
    PacketBuilder& null();
    /// Cells of optional values: null when absent.
    PacketBuilder& number(const std::optional<double>& value);

    std::size_t rows() const { return rows_; }
    /// The packet's JSON text (compact, as wire::dumpJson writes it); the builder is left
    /// empty.
    std::string takeText();
    /// The packet's JSON form; the builder is left empty.
    nlohmann::json take();

private:
    // Empties the builder: the text holds the fields and opens the rows.
    void start();
    // Opens a cell: the separator from the one before it in the row.
    void cell();

    std::vector<PacketField> fields_;
    std::string text_;         // the packet so far: the fields and the rows written
    std::size_t rows_ = 0;
    bool rowStarted_ = false;  // whether the open row has a cell yet
};

}  // namespace server
