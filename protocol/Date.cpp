#include "Date.h"

#include <cstdio>

namespace wire {

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return 0;
    }
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

bool Date::valid() const {
    return year >= 1 && year <= 9999 && day >= 1 && day <= daysInMonth(year, month);
}

std::string Date::iso() const {
    // Written digit by digit: a price book writes two dates for each of its products.
    if (year >= 0 && year <= 9999 && month >= 0 && month <= 99 && day >= 0 && day <= 99) {
        std::string text(10, '-');
        auto digits = [&](std::size_t end, int value, int count) {
            for (int i = 0; i < count; ++i, value /= 10) {
                text[end - 1 - static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
            }
        };
        digits(4, year, 4);
        digits(7, month, 2);
        digits(10, day, 2);
        return text;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", year, month, day);
    return buffer;
}

std::optional<Date> Date::fromIso(std::string_view text) {
    // Exactly four, two and two digits: a looser reading would let two different texts
    // name the same stored date.
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    auto number = [&](std::size_t pos, std::size_t len) -> std::optional<int> {
        int value = 0;
        for (std::size_t i = pos; i < pos + len; ++i) {
            if (text[i] < '0' || text[i] > '9') {
                return std::nullopt;
            }
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    auto y = number(0, 4);
    auto m = number(5, 2);
    auto d = number(8, 2);
    if (!y || !m || !d) {
        return std::nullopt;
    }
    Date date{*y, *m, *d};
    if (!date.valid()) {
        return std::nullopt;
    }
    return date;
}

// Civil-from-days and days-from-civil after Howard Hinnant's public-domain algorithms:
// exact over the whole proleptic Gregorian calendar without tables.
long Date::daysSinceEpoch() const {
    const long y = static_cast<long>(year) - (month <= 2 ? 1 : 0);
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long mp = (month + 9) % 12;
    const long doy = (153 * mp + 2) / 5 + day - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

Date Date::fromDaysSinceEpoch(long days) {
    const long z = days + 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    const long d = doy - (153 * mp + 2) / 5 + 1;
    const long m = mp < 10 ? mp + 3 : mp - 9;
    const long y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    return Date{static_cast<int>(y), static_cast<int>(m), static_cast<int>(d)};
}

}  // namespace wire
