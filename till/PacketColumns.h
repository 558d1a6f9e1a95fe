#pragma once
// A data packet of an answer read by column name, its cells as the types a till keeps.

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "protocol/DataPacket.h"
#include "protocol/Date.h"

namespace till {

/// Reads a {"$packet"} member of an answer. Every failure throws std::runtime_error in
/// Portuguese naming the packet (`what`) and the column.
class PacketColumns {
public:
    PacketColumns(const nlohmann::json& packet, std::string what);

    /// The index of a column; throws when the packet has none of that name.
    int column(const std::string& name) const;
    const std::vector<wire::Row>& rows() const { return packet_.rows; }

    /// The cell as text ("" for null).
    std::string text(const wire::Row& row, int column) const;
    long long integer(const wire::Row& row, int column) const;
    std::optional<double> number(const wire::Row& row, int column) const;
    wire::Date date(const wire::Row& row, int column) const;

private:
    [[noreturn]] void fail(int column, const std::string& why) const;

    wire::DataPacket packet_;
    std::string what_;
};

}  // namespace till
