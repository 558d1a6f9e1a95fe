#pragma once
// Times of day as the time edits show them.

#include <string_view>

namespace vnd {

/// True when the text is a time of day written "HH:MM": two digits, a colon, two digits,
/// hour 00 to 23 and minute 00 to 59. A blank left in a digit place is no time of day.
bool isTimeOfDay(std::string_view text);

}  // namespace vnd
