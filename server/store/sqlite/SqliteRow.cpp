#include "server/store/sqlite/SqliteRow.h"

#include <cmath>
#include <string>

#include <sqlite3.h>

#include "server/store/StoreError.h"

namespace server {

bool SqliteRow::isNull(int c) const {
    return sqlite3_column_type(stmt_, c) == SQLITE_NULL;
}

std::string_view SqliteRow::text(int c) const {
    const auto* p = sqlite3_column_text(stmt_, c);
    return p ? std::string_view(reinterpret_cast<const char*>(p),
                                static_cast<std::size_t>(sqlite3_column_bytes(stmt_, c)))
             : std::string_view();
}

long long SqliteRow::integer(int c) const {
    if (sqlite3_column_type(stmt_, c) == SQLITE_FLOAT) {
        // A whole number only: 1.5 is no integer, nor is it 1.
        const double value = sqlite3_column_double(stmt_, c);
        if (!(std::trunc(value) == value && std::fabs(value) < 9.2e18)) {
            throw StoreError(StoreFailure::Other, "Valor inválido no banco de dados: " +
                                                      std::to_string(value) +
                                                      " não é um número inteiro.");
        }
        return static_cast<long long>(value);
    }
    return storedAsText(c) ? SqlRow::integer(c) : sqlite3_column_int64(stmt_, c);
}

double SqliteRow::number(int c) const {
    return storedAsText(c) ? SqlRow::number(c) : sqlite3_column_double(stmt_, c);
}

bool SqliteRow::storedAsText(int c) const {
    const int type = sqlite3_column_type(stmt_, c);
    return type == SQLITE_TEXT || type == SQLITE_BLOB;
}

}  // namespace server
