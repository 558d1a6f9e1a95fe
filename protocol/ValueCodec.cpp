#include "ValueCodec.h"

#include <limits>
#include <optional>
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

namespace {

// Whether a cell is one its field's type allows: null, a text, a number under an
// "integer" or "number" field, a {"$date"} under a "date" field.
bool cellFits(const json& cell, const json& field) {
    if (cell.is_null() || cell.is_string()) {
        return true;
    }
    const auto type = field.find("type");
    const std::string_view typeName =
        type != field.end() ? std::string_view(type->get_ref<const std::string&>()) : "string";
    if (cell.is_number()) {
        return typeName == "integer" || typeName == "number";
    }
    return typeName == "date" && dateFromJson(cell).has_value();
}

std::string fieldName(const json& field) {
    return field.find("name")->get<std::string>();
}

}  // namespace

std::optional<std::string> packetError(const json& j) {
    if (!isPacketJson(j)) {
        return "pacote de dados esperado";
    }
    const json& body = *j.find("$packet");
    const auto fieldsAt = body.is_object() ? body.find("fields") : body.end();
    if (!body.is_object() || fieldsAt == body.end() || !fieldsAt->is_array()) {
        return "pacote de dados sem a lista de campos";
    }
    const json& fields = *fieldsAt;
    for (const json& field : fields) {
        const auto name = field.is_object() ? field.find("name") : field.end();
        if (!field.is_object() || name == field.end() || !name->is_string()) {
            return "campo do pacote de dados sem nome";
        }
        if (const auto type = field.find("type"); type != field.end() && !type->is_string()) {
            return "tipo inválido no campo " + name->get<std::string>();
        }
        if (const auto size = field.find("size"); size != field.end()) {
            if (!size->is_number_integer() || size->get<long long>() < 0 ||
                size->get<long long>() > std::numeric_limits<int>::max()) {
                return "tamanho inválido no campo " + name->get<std::string>();
            }
        }
    }
    const auto rows = body.find("rows");
    if (rows == body.end()) {
        return std::nullopt;
    }
    if (!rows->is_array()) {
        return "linhas do pacote de dados inválidas";
    }
    for (const json& row : *rows) {
        if (!row.is_array() || row.size() != fields.size()) {
            return "linha do pacote de dados com número de colunas errado";
        }
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (!cellFits(row[i], fields[i])) {
                return "célula do pacote de dados não é do tipo do campo " + fieldName(fields[i]);
            }
        }
    }
    return std::nullopt;
}

DataPacket packetFromJson(const json& j) {
    if (auto error = packetError(j)) {
        throw CodecError(*error);
    }
    // Well formed from here on: every field has its name, every row its width, every
    // cell a form its field allows.
    const json& body = *j.find("$packet");
    DataPacket packet;
    for (const json& field : *body.find("fields")) {
        FieldDesc desc;
        desc.name = fieldName(field);
        if (const auto type = field.find("type"); type != field.end()) {
            desc.type = type->get<std::string>();
        }
        if (const auto size = field.find("size"); size != field.end()) {
            desc.size = size->get<int>();
        }
        packet.fields.push_back(std::move(desc));
    }
    const auto rows = body.find("rows");
    if (rows == body.end()) {
        return packet;
    }
    packet.rows.reserve(rows->size());
    for (const json& row : *rows) {
        Row cells;
        cells.reserve(row.size());
        for (const json& cell : row) {
            if (cell.is_null()) {
                cells.emplace_back(std::nullopt);
            } else if (cell.is_string()) {
                cells.emplace_back(cell.get<std::string>());
            } else if (cell.is_number()) {
                // Flags and amounts of typed packets: their text, as the JSON wrote it.
                cells.emplace_back(dumpJson(cell));
            } else {
                cells.emplace_back(dateFromJson(cell)->iso());
            }
        }
        packet.rows.push_back(std::move(cells));
    }
    return packet;
}

namespace {

// The value a JSON form stands for when it is not the JSON itself (an object or array
// that stays Json): nullopt then.
std::optional<Value> convertedValue(const json& j) {
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
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

}  // namespace

Value fromJson(const json& j) {
    if (std::optional<Value> value = convertedValue(j)) {
        return std::move(*value);
    }
    return j;
}

Value fromJson(json&& j) {
    if (std::optional<Value> value = convertedValue(j)) {
        return std::move(*value);
    }
    return std::move(j);
}

std::string dumpJson(const json& j) {
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace wire
