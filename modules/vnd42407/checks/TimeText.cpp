#include "checks/TimeText.h"

namespace vnd {

namespace {
bool digit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

bool isTimeOfDay(std::string_view t) {
    if (t.size() != 5 || t[2] != ':') return false;
    if (!digit(t[0]) || !digit(t[1]) || !digit(t[3]) || !digit(t[4])) return false;
    int hour = (t[0] - '0') * 10 + (t[1] - '0');
    int minute = (t[3] - '0') * 10 + (t[4] - '0');
    return hour <= 23 && minute <= 59;
}

}  // namespace vnd
