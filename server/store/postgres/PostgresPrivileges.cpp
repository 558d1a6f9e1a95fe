#include "server/store/postgres/PostgresPrivileges.h"

#include <libpq-fe.h>

#include <memory>

namespace server {

std::optional<std::string> missingStorePrivilege(const std::string& url) {
    if (!url.starts_with("postgresql://") && !url.starts_with("postgres://")) {
        return std::nullopt;
    }
    const char* keys[] = {"dbname", "connect_timeout", nullptr};
    const char* values[] = {url.c_str(), "5", nullptr};
    std::unique_ptr<PGconn, decltype(&PQfinish)> conn(PQconnectdbParams(keys, values, 1),
                                                     PQfinish);
    if (conn == nullptr || PQstatus(conn.get()) != CONNECTION_OK) {
        return std::nullopt;
    }
    std::unique_ptr<PGresult, decltype(&PQclear)> result(
        PQexec(conn.get(), "SELECT has_database_privilege(current_database(), 'TEMPORARY'),"
                           " current_user, current_database()"),
        PQclear);
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK || PQntuples(result.get()) != 1 ||
        std::string(PQgetvalue(result.get(), 0, 0)) == "t") {
        return std::nullopt;
    }
    const std::string role = PQgetvalue(result.get(), 0, 1);
    const std::string database = PQgetvalue(result.get(), 0, 2);
    return "o papel " + role + " não tem o privilégio TEMPORARY no banco " + database +
           ": toda gravação de regra vai falhar (GRANT TEMPORARY ON DATABASE " + database +
           " TO " + role + ")";
}

}  // namespace server
