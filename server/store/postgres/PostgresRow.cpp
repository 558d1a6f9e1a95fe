#include "server/store/postgres/PostgresRow.h"

namespace server {

bool PostgresRow::isNull(int c) const {
    return PQgetisnull(result_, row_, c) != 0;
}

std::string_view PostgresRow::text(int c) const {
    return {PQgetvalue(result_, row_, c), static_cast<std::size_t>(PQgetlength(result_, row_, c))};
}

void PostgresRow::forEach(const PGresult* result, const std::function<void(const SqlRow&)>& fn) {
    PostgresRow row(result, 0);
    for (int i = 0; i < PQntuples(result); ++i, row.next()) {
        fn(row);
    }
}

}  // namespace server
