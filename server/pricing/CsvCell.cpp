#include "server/pricing/CsvCell.h"

namespace server {

std::string csvCell(const std::string& text) {
    if (text.find_first_of(";\"\n\r") == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (char c : text) {
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return out + "\"";
}

}  // namespace server
