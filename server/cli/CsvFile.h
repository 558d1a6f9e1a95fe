#pragma once
// The `;`-separated UTF-8 files the commands read and write.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "server/pricing/CsvCell.h"

namespace server {

/// Calls fn(number, line) for every line of the file that is not blank, numbered from 1:
/// the byte-order mark of the first line and the carriage return ending any line taken
/// off. A line that is not UTF-8, or that fn refuses (std::invalid_argument saying why),
/// stops the reading with std::runtime_error lineRefusal(file, number, why, nothingDone).
/// Throws std::runtime_error when the file cannot be read.
void readTextLines(const std::string& file, const std::string& nothingDone,
                   const std::function<void(int number, const std::string& line)>& fn);

/// "FILE, linha N: WHY; NOTHINGDONE" (line 0: "FILE: WHY; NOTHINGDONE").
std::string lineRefusal(const std::string& file, int number, const std::string& why,
                        const std::string& nothingDone);

/// The cells of a `;`-separated line. A cell in double quotes may hold `;`, and `""` for
/// a quote. Throws std::invalid_argument for a quote left open or text after a closing
/// one.
std::vector<std::string> csvCells(std::string_view line);

/// The cells of one line (without its line end).
std::string csvLine(const std::vector<std::string>& cells);

}  // namespace server
