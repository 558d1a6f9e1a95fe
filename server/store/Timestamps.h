#pragma once
// The times the store writes beside a change.

#include <string>

namespace server {

/// The local time as "YYYY-MM-DD HH:MM:SS", the form DTULTATU is written in.
std::string currentTimestamp();
/// The UTC time as "YYYY-MM-DD HH:MM:SS.mmm", the form DTOPERACAO is written in; never
/// the same or earlier than the one this process gave before, so that the history's
/// newest-first order follows the order of the changes.
std::string operationTimestamp();

/// The UTC time `days` days ago as "YYYY-MM-DD HH:MM:SS".
std::string utcTimestampDaysAgo(int days);

}  // namespace server
