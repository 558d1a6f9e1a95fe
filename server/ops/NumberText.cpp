#include "server/ops/NumberText.h"

#include <charconv>

namespace server {

std::string numberText(double value) {
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, end);
}

}  // namespace server
