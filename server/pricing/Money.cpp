#include "Money.h"

#include <string_view>

namespace server {

namespace {

// The magnitude as unsigned, so that the most negative long long has one too.
unsigned long long magnitude(long long cents) {
    return cents < 0 ? 0ULL - static_cast<unsigned long long>(cents)
                     : static_cast<unsigned long long>(cents);
}

std::string centsText(long long cents, std::string_view groupSeparator) {
    const unsigned long long m = magnitude(cents);
    const std::string whole = std::to_string(m / 100);
    const unsigned long long fraction = m % 100;
    std::string text;
    text.reserve(whole.size() + whole.size() / 3 + 4);
    if (cents < 0) {
        text += '-';
    }
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (i != 0 && (whole.size() - i) % 3 == 0) {
            text += groupSeparator;
        }
        text += whole[i];
    }
    text += ',';
    text += static_cast<char>('0' + fraction / 10);
    text += static_cast<char>('0' + fraction % 10);
    return text;
}

}  // namespace

std::string moneyText(long long cents) {
    return centsText(cents, ".");
}

std::string decimalText(long long cents) {
    return centsText(cents, "");
}

double centsToDouble(long long cents) {
    // Both operands exact below 2^53 cents and the division correctly rounded: the nearest
    // double to the decimal, which the shortest-text writers print with two places at most.
    return static_cast<double>(cents) / 100.0;
}

}  // namespace server
