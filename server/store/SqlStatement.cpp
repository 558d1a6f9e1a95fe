#include "server/store/SqlStatement.h"

#include <charconv>
#include <stdexcept>

#include "server/store/StoreError.h"

namespace server {

std::string renderSql(std::string_view shared, SqlDialect dialect) {
    const bool pg = dialect == SqlDialect::Postgres;
    std::string out;
    out.reserve(shared.size() + 32);
    std::size_t i = 0;
    while (i < shared.size()) {
        const std::size_t open = shared.find('{', i);
        if (open == std::string_view::npos) {
            out.append(shared.substr(i));
            break;
        }
        out.append(shared.substr(i, open - i));
        const std::size_t close = shared.find('}', open);
        if (close == std::string_view::npos) {
            throw std::invalid_argument("marcador sem fim em " + std::string(shared));
        }
        const std::string_view marker = shared.substr(open + 1, close - open - 1);
        i = close + 1;
        if (marker.starts_with("date:")) {
            const std::string_view column = marker.substr(5);
            out += pg ? "to_char(" + std::string(column) + ", 'YYYY-MM-DD')" : std::string(column);
            continue;
        }
        if (marker.starts_with("list:")) {
            const std::string n(marker.substr(5));
            out += pg ? "SELECT json_array_elements_text($" + n + "::json)"
                      : "SELECT value FROM json_each(?" + n + ")";
            continue;
        }
        if (marker.starts_with("stamp:")) {
            const std::string_view column = marker.substr(6);
            out += pg ? "to_char(" + std::string(column) + ", 'YYYY-MM-DD HH24:MI:SS')"
                      : std::string(column);
            continue;
        }
        const std::string_view number = marker.substr(1);
        int position = 0;
        const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), position);
        if (marker.empty() || ec != std::errc() || end != number.data() + number.size()) {
            throw std::invalid_argument("marcador desconhecido {" + std::string(marker) + "}");
        }
        const std::string n = std::to_string(position);
        // SQLite compares a bound text with a column by the column's affinity, but LIMIT,
        // OFFSET and arithmetic want real numbers: those are cast.
        switch (marker[0]) {
            case 't': out += pg ? "$" + n + "::varchar" : "?" + n; break;
            case 'd': out += pg ? "$" + n + "::date" : "?" + n; break;
            case 's': out += pg ? "$" + n + "::timestamp" : "?" + n; break;
            case 'i': out += pg ? "$" + n + "::bigint" : "CAST(?" + n + " AS INTEGER)"; break;
            case 'n': out += pg ? "$" + n + "::double precision" : "CAST(?" + n + " AS REAL)"; break;
            default: throw std::invalid_argument("marcador desconhecido {" + std::string(marker) + "}");
        }
    }
    return out;
}

std::string listParam(const std::vector<std::string>& texts) {
    std::string out = "[";
    for (const std::string& text : texts) {
        if (out.size() > 1) {
            out += ',';
        }
        out += '"';
        for (const char c : text) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += c;
            } else if (static_cast<unsigned char>(c) < 0x20) {
                static constexpr char kHex[] = "0123456789abcdef";
                out += "\\u00";
                out += kHex[(c >> 4) & 0xf];
                out += kHex[c & 0xf];
            } else {
                out += c;
            }
        }
        out += '"';
    }
    return out + "]";
}

namespace {

// The whole text as a number, or a store error naming it: a cell that is no number is
// no 0.
template <class Number>
Number wholeNumber(std::string_view text) {
    Number value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        throw StoreError(StoreFailure::Other,
                         "Valor inválido no banco de dados: \"" + std::string(text) +
                             "\" não é um número.");
    }
    return value;
}

}  // namespace

long long SqlRow::integer(int column) const {
    return isNull(column) ? 0 : wholeNumber<long long>(text(column));
}

double SqlRow::number(int column) const {
    // Both backends give the shortest text that reads back as the stored double.
    return isNull(column) ? 0 : wholeNumber<double>(text(column));
}

std::optional<double> SqlRow::optionalNumber(int column) const {
    if (isNull(column)) {
        return std::nullopt;
    }
    return number(column);
}

}  // namespace server
