#pragma once
// The one mapping between typed call values and their JSON form on the wire.
//
//   String -> "text"          Integer -> 12           Double -> 1.5
//   Boolean -> true/false     empty Variant -> null   Date -> {"$date":"2026-03-07"}
//   data packet -> {"$packet":{"fields":[{"name":"CDFILIAL","type":"string","size":4}],
//                              "rows":[["0001"],[null]]}}

#include <optional>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "Value.h"

namespace wire {

/// A JSON value that claims to be a date or a data packet but is not a well-formed one.
class CodecError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The JSON form of a value.
nlohmann::json toJson(const Value& value);
nlohmann::json toJson(const Date& date);
nlohmann::json toJson(const DataPacket& packet);

/// The value a JSON form stands for: integers become Integer, other numbers Double, a
/// {"$date"} object a Date, a {"$packet"} object a DataPacket, any other object or array
/// stays Json. Throws CodecError for a malformed date or packet.
Value fromJson(const nlohmann::json& json);
/// The same, taking an object or array over instead of copying it.
Value fromJson(nlohmann::json&& json);

/// The date of a {"$date":"YYYY-MM-DD"} object; nullopt for anything else, including a
/// date that does not exist.
std::optional<Date> dateFromJson(const nlohmann::json& json);
/// The packet of a {"$packet":{...}} object. Every cell is kept as text: under a field of
/// type "integer" or "number" a JSON number as its JSON text, under one of type "date" a
/// {"$date"} as "YYYY-MM-DD" (toJson writes them back as numbers and dates). Throws
/// CodecError when json is not one, when a row's width differs from the field count, or
/// when a cell is neither null, text nor the form its field's type allows.
DataPacket packetFromJson(const nlohmann::json& json);
/// Why json is not a packet that packetFromJson reads (the text its CodecError would
/// carry), or nullopt when it is one. Looks at the packet without copying it.
std::optional<std::string> packetError(const nlohmann::json& json);
/// True for an object whose one key is "$packet".
bool isPacketJson(const nlohmann::json& json);

/// Compact JSON text; text that is not valid UTF-8 is written with replacement
/// characters instead of failing.
std::string dumpJson(const nlohmann::json& json);

}  // namespace wire
