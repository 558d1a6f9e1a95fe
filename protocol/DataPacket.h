#pragma once
// The tabular value that carries dataset contents between client and server.

#include <optional>
#include <string>
#include <vector>

namespace wire {

/// One column of a data packet.
struct FieldDesc {
    std::string name;
    std::string type = "string";  ///< only "string" is used by the screen's datasets
    int size = 0;                 ///< the field's width in characters, 0 when not fixed

    bool operator==(const FieldDesc&) const = default;
};

/// A cell with no value is nullopt (null on the wire).
using Cell = std::optional<std::string>;
using Row = std::vector<Cell>;

/// Columns and rows; every row has exactly one cell per field.
struct DataPacket {
    std::vector<FieldDesc> fields;
    std::vector<Row> rows;

    /// Index of the named field (exact name), or -1.
    int fieldIndex(const std::string& name) const;
    bool operator==(const DataPacket&) const = default;
};

}  // namespace wire
