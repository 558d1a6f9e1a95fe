#include "ValueCodec.h"

#include <limits>
#include <type_traits>

namespace wire {

using nlohmann::json;

json toJson(const Date& date) {
    return json{{"$date", date.iso()}};
}

json toJson(const DataPacket& packet) {
    json fields = json::array();
    for (const FieldDesc& field : packet.fields) {
        fields.push_back({{"name", field.name}, {"type", field.type}, {"size", field.size}});
    }
    json rows = json::array();
    for (const Row& row : packet.rows) {
        json cells = json::array();
        for (std::size_t i = 0; i < row.size(); ++i) {
            const Cell& cell = row[i];
            const std::string& type = i < packet.fields.size() ? packet.fields[i].type : "string";
            if (!cell) {
                cells.push_back(nullptr);
            } else if (type == "date") {
                cells.push_back({{"$date", *cell}});
            } else if (type == "integer" || type == "number") {
                // A cell read from a typed packet goes back as the number it was.
                json number = json::parse(*cell, nullptr, false);
                cells.push_back(number.is_number() ? number : json(*cell));
            } else {
                cells.push_back(*cell);
            }
        }
        rows.push_back(std::move(cells));
    }
    return json{{"$packet", {{"fields", std::move(fields)}, {"rows", std::move(rows)}}}};
}

json toJson(const Value& value) {
    return std::visit(
        [](const auto& v) -> json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return nullptr;
            } else if constexpr (std::is_same_v<T, Date> || std::is_same_v<T, DataPacket>) {
                return toJson(v);
            } else {
                return json(v);
            }
        },
        value);
}

bool isPacketJson(const json& j) {
    return j.is_object() && j.size() == 1 && j.contains("$packet");
}

std::optional<Date> dateFromJson(const json& j) {
    if (!j.is_object() || j.size() != 1 || !j.contains("$date")) {
        return std::nullopt;
    }
    const json& text = j["$date"];
    if (!text.is_string()) {
        return std::nullopt;
    }
    return Date::fromIso(text.get_ref<const std::string&>());
}

DataPacket packetFromJson(const json& j) {
    if (!isPacketJson(j)) {
        throw CodecError("pacote de dados esperado");
    }
    const json& body = j["$packet"];
    if (!body.is_object() || !body.contains("fields") || !body["fields"].is_array()) {
        throw CodecError("pacote de dados sem a lista de campos");
    }
    DataPacket packet;
    for (const json& field : body["fields"]) {
        if (!field.is_object() || !field.contains("name") || !field["name"].is_string()) {
            throw CodecError("campo do pacote de dados sem nome");
        }
        FieldDesc desc;
        desc.name = field["name"].get<std::string>();
        if (field.contains("type")) {
            if (!field["type"].is_string()) {
                throw CodecError("tipo inválido no campo " + desc.name);
            }
            desc.type = field["type"].get<std::string>();
        }
        if (field.contains("size")) {
            const json& size = field["size"];
            if (!size.is_number_integer() || size.get<long long>() < 0 ||
                size.get<long long>() > std::numeric_limits<int>::max()) {
                throw CodecError("tamanho inválido no campo " + desc.name);
            }
            desc.size = size.get<int>();
        }
        packet.fields.push_back(std::move(desc));
    }
    if (body.contains("rows")) {
        const json& rows = body["rows"];
        if (!rows.is_array()) {
            throw CodecError("linhas do pacote de dados inválidas");
        }
        packet.rows.reserve(rows.size());
        for (const json& row : rows) {
            if (!row.is_array() || row.size() != packet.fields.size()) {
                throw CodecError("linha do pacote de dados com número de colunas errado");
            }
            Row cells;
            cells.reserve(row.size());
            for (std::size_t i = 0; i < row.size(); ++i) {
                const json& cell = row[i];
                const std::string& type = packet.fields[i].type;
                if (cell.is_null()) {
                    cells.emplace_back(std::nullopt);
                } else if (cell.is_string()) {
                    cells.emplace_back(cell.get<std::string>());
                } else if (cell.is_number() && (type == "integer" || type == "number")) {
                    // Flags and amounts of typed packets: their text, as the JSON wrote it.
                    cells.emplace_back(dumpJson(cell));
                } else if (auto date = type == "date" ? dateFromJson(cell) : std::nullopt) {
                    cells.emplace_back(date->iso());
                } else {
                    throw CodecError("célula do pacote de dados não é do tipo do campo " +
                                     packet.fields[i].name);
                }
            }
            packet.rows.push_back(std::move(cells));
        }
    }
    return packet;
}

Value fromJson(const json& j) {
    switch (j.type()) {
        case json::value_t::null:
            return std::monostate{};
        case json::value_t::boolean:
            return j.get<bool>();
        case json::value_t::number_integer:
            return j.get<std::int64_t>();
        case json::value_t::number_unsigned: {
            const auto u = j.get<std::uint64_t>();
            if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                return static_cast<double>(u);
            }
            return static_cast<std::int64_t>(u);
        }
        case json::value_t::number_float:
            return j.get<double>();
        case json::value_t::string:
            return j.get<std::string>();
        case json::value_t::object:
            if (j.size() == 1 && j.contains("$date")) {
                if (auto date = dateFromJson(j)) {
                    return *date;
                }
                throw CodecError("data inválida: " + dumpJson(j["$date"]));
            }
            if (isPacketJson(j)) {
                return packetFromJson(j);
            }
            return j;
        default:
            return j;
    }
}

std::string dumpJson(const json& j) {
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace wire
