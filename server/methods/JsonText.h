#pragma once
// JSON values appended to a text, byte for byte as wire::dumpJson writes them.

#include <optional>
#include <string>
#include <string_view>

namespace server {

/// A JSON string: the same escapes and replacements as the JSON library's dump.
void appendJsonString(std::string& out, std::string_view value);
/// A number in the JSON library's shortest form (".0" on whole numbers); null when it is
/// not finite, as JSON has no form for it.
void appendJsonNumber(std::string& out, double value);
/// The same, null when absent.
void appendJsonNumber(std::string& out, const std::optional<double>& value);
/// {"$date":"YYYY-MM-DD"}.
void appendJsonDate(std::string& out, std::string_view iso);

}  // namespace server
