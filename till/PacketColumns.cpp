#include "till/PacketColumns.h"

#include <charconv>
#include <stdexcept>

#include "protocol/ValueCodec.h"

namespace till {

PacketColumns::PacketColumns(const nlohmann::json& packet, std::string what)
    : what_(std::move(what)) {
    try {
        packet_ = wire::packetFromJson(packet);
    } catch (const std::exception& e) {
        throw std::runtime_error("pacote " + what_ + " da resposta ilegível: " + e.what());
    }
}

int PacketColumns::column(const std::string& name) const {
    const int at = packet_.fieldIndex(name);
    if (at < 0) {
        throw std::runtime_error("pacote " + what_ + " da resposta sem a coluna " + name);
    }
    return at;
}

void PacketColumns::fail(int column, const std::string& why) const {
    throw std::runtime_error("pacote " + what_ + ", coluna " +
                             packet_.fields[static_cast<std::size_t>(column)].name + ": " + why);
}

std::string PacketColumns::text(const wire::Row& row, int column) const {
    return row[static_cast<std::size_t>(column)].value_or("");
}

long long PacketColumns::integer(const wire::Row& row, int column) const {
    const std::string cell = text(row, column);
    long long value = 0;
    const auto [end, ec] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
    if (cell.empty() || ec != std::errc() || end != cell.data() + cell.size()) {
        fail(column, "número inteiro esperado, veio '" + cell + "'");
    }
    return value;
}

std::optional<double> PacketColumns::number(const wire::Row& row, int column) const {
    if (!row[static_cast<std::size_t>(column)]) {
        return std::nullopt;
    }
    const std::string& cell = *row[static_cast<std::size_t>(column)];
    double value = 0;
    // The cell is the JSON text of the number the server wrote: read back, it is the
    // very double the server holds.
    const auto [end, ec] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
    if (cell.empty() || ec != std::errc() || end != cell.data() + cell.size()) {
        fail(column, "número esperado, veio '" + cell + "'");
    }
    return value;
}

wire::Date PacketColumns::date(const wire::Row& row, int column) const {
    const auto date = wire::Date::fromIso(text(row, column));
    if (!date) {
        fail(column, "data esperada, veio '" + text(row, column) + "'");
    }
    return *date;
}

}  // namespace till
