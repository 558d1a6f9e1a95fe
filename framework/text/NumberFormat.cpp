#include "NumberFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace vol {

namespace {

bool isDigit(char ch) { return ch >= '0' && ch <= '9'; }

// Adds one unit in the last place of a string of decimal digits.
void incrementDigits(std::string& digits) {
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    digits.insert(digits.begin(), '1');
}

// Splits a number being typed ("-12,5", ",", "-") into its parts; false when the text
// has anything else in it or a second separator.
struct Parts {
    bool negative = false;
    std::string_view whole;
    std::string_view fraction;
    bool hasSeparator = false;
};
bool split(std::string_view text, char separator, Parts& parts) {
    if (!text.empty() && text.front() == '-') {
        parts.negative = true;
        text.remove_prefix(1);
    }
    const std::size_t sep = text.find(separator);
    parts.hasSeparator = sep != std::string_view::npos;
    parts.whole = text.substr(0, sep);
    parts.fraction = parts.hasSeparator ? text.substr(sep + 1) : std::string_view{};
    return std::all_of(parts.whole.begin(), parts.whole.end(), isDigit) &&
           std::all_of(parts.fraction.begin(), parts.fraction.end(), isDigit);
}

}  // namespace

std::string NumberFormat::format(double value, int decimals, char decimalSeparator) {
    if (!std::isfinite(value)) return {};
    decimals = std::max(decimals, 0);

    // Round the shortest decimal that reads back as the value, not the binary value itself:
    // 1.005 is stored a hair below 1.005, but the user typed and sees 1,005 and expects
    // it to round up like any other half.
    char buffer[400];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::fixed);
    if (ec != std::errc()) return {};
    const std::string_view shortest(buffer, static_cast<std::size_t>(end - buffer));
    const std::size_t dot = shortest.find('.');
    std::string whole(shortest.substr(0, dot));
    std::string fraction(dot == std::string_view::npos ? std::string_view{} : shortest.substr(dot + 1));

    const auto keep = static_cast<std::size_t>(decimals);
    if (fraction.size() > keep) {
        const bool roundUp = fraction[keep] >= '5';
        fraction.resize(keep);
        if (roundUp) {
            std::string digits = whole + fraction;
            incrementDigits(digits);
            whole = digits.substr(0, digits.size() - keep);
            fraction = digits.substr(digits.size() - keep);
        }
    }
    fraction.append(keep - fraction.size(), '0');

    const bool zero = std::all_of(whole.begin(), whole.end(), [](char c) { return c == '0'; }) &&
                      std::all_of(fraction.begin(), fraction.end(), [](char c) { return c == '0'; });
    std::string out;
    if (value < 0 && !zero) out += '-';
    out += whole;
    if (decimals > 0) {
        out += decimalSeparator;
        out += fraction;
    }
    return out;
}

std::optional<double> NumberFormat::parse(std::string_view text, char decimalSeparator) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);

    Parts parts;
    if (!split(text, decimalSeparator, parts) || (parts.whole.empty() && parts.fraction.empty()))
        return std::nullopt;

    // from_chars never looks at the locale, so the separator is ours to translate.
    std::string plain(parts.whole.empty() ? std::string_view("0") : parts.whole);
    if (!parts.fraction.empty()) {
        plain += '.';
        plain += parts.fraction;
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value, std::chars_format::fixed);
    if (ec != std::errc() || end != plain.data() + plain.size()) return std::nullopt;
    return parts.negative ? -value + 0.0 : value;
}

bool NumberFormat::acceptsKey(std::string_view currentText, int caret, char key, char decimalSeparator,
                              int decimals) {
    if (!isDigit(key) && key != '-' && key != decimalSeparator) return false;
    if (key == decimalSeparator && decimals <= 0) return false;
    // Judge the text as it would be after the key, so every rule is checked in one place.
    const auto at = static_cast<std::size_t>(std::clamp(caret, 0, static_cast<int>(currentText.size())));
    std::string next(currentText.substr(0, at));
    next += key;
    next += currentText.substr(at);
    Parts parts;
    if (!split(next, decimalSeparator, parts)) return false;
    return static_cast<int>(parts.fraction.size()) <= std::max(decimals, 0);
}

char NumberFormat::decimalKey(char key, char decimalSeparator) {
    return key == '.' || key == ',' ? decimalSeparator : key;
}

}  // namespace vol
