#include "server/store/sqlite/SqliteRow.h"

#include <cmath>
#include <string>

#include <sqlite3.h>

#include "server/store/StoreError.h"

namespace server {

namespace {

bool storedAsText(int type) {
    return type == SQLITE_TEXT || type == SQLITE_BLOB;
}

}  // namespace

// A cell is read through its value: one call of the statement per cell, where its type,
// text and length would be a call each.
sqlite3_value* SqliteRow::cell(int c) const {
    return sqlite3_column_value(stmt_, c);
}

bool SqliteRow::isNull(int c) const {
    return sqlite3_value_type(cell(c)) == SQLITE_NULL;
}

std::string_view SqliteRow::text(int c) const {
    sqlite3_value* value = cell(c);
    const auto* p = sqlite3_value_text(value);
    return p ? std::string_view(reinterpret_cast<const char*>(p),
                                static_cast<std::size_t>(sqlite3_value_bytes(value)))
             : std::string_view();
}

long long SqliteRow::integer(int c) const {
    sqlite3_value* value = cell(c);
    const int type = sqlite3_value_type(value);
    if (type == SQLITE_FLOAT) {
        // A whole number only: 1.5 is no integer, nor is it 1.
        const double number = sqlite3_value_double(value);
        if (!(std::trunc(number) == number && std::fabs(number) < 9.2e18)) {
            throw StoreError(StoreFailure::Other, "Valor inválido no banco de dados: " +
                                                      std::to_string(number) +
                                                      " não é um número inteiro.");
        }
        return static_cast<long long>(number);
    }
    return storedAsText(type) ? SqlRow::integer(c) : sqlite3_value_int64(value);
}

double SqliteRow::number(int c) const {
    sqlite3_value* value = cell(c);
    return storedAsText(sqlite3_value_type(value)) ? SqlRow::number(c)
                                                   : sqlite3_value_double(value);
}

}  // namespace server
