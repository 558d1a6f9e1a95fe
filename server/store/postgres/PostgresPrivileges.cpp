#include "server/store/postgres/PostgresPrivileges.h"

#include <algorithm>
#include <cctype>

#include "server/store/RuleStore.h"
#include "server/store/Schema.h"

namespace server {

namespace {

// One row per (table, privilege) of the server's needs, numbered in their order: a
// VALUES list.
std::string needsValues() {
    std::string out;
    int number = 0;
    for (const schema::TableNeed& need : schema::kServerNeeds) {
        for (std::size_t start = 0; start < need.privileges.size();) {
            const std::size_t comma =
                std::min(need.privileges.find(", ", start), need.privileges.size());
            out.append(out.empty() ? "(" : ", (").append(std::to_string(++number));
            out.append(", '").append(need.table).append("', '");
            out.append(need.privileges.substr(start, comma - start)).append("')");
            start = comma + 2;
        }
    }
    return out;
}

std::string lower(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

}  // namespace

std::vector<std::string> missingPostgresPrivileges(RuleStore& store) {
    std::string role, database;
    bool temporary = true;
    store.query("SELECT current_user, current_database(),"
                " has_database_privilege(current_database(), 'TEMPORARY')",
                {}, [&](const SqlRow& r) {
                    role = r.text(0);
                    database = r.text(1);
                    temporary = r.text(2) == "t";
                });
    std::vector<std::string> out;
    if (!temporary) {
        out.push_back("o papel " + role + " não tem o privilégio TEMPORARY no banco " + database +
                      ": toda gravação de regra vai falhar (GRANT TEMPORARY ON DATABASE " +
                      database + " TO " + role + ")");
    }
    // A table that does not exist (yet) has no privileges to ask about; has_table_privilege
    // of a null table is null, so it is never listed.
    static const std::string kMissing =
        "SELECT N.T, N.P FROM (VALUES " + needsValues() +
        ") AS N(I, T, P) WHERE NOT has_table_privilege(to_regclass(N.T), N.P) ORDER BY N.I";
    std::string table, privileges;
    auto flush = [&] {
        if (table.empty()) {
            return;
        }
        const bool several = privileges.find(',') != std::string::npos;
        out.push_back("o papel " + role + " não tem " + (several ? "os privilégios " : "o privilégio ") +
                      privileges + " na tabela " + table +
                      ": as chamadas que a usam vão falhar (GRANT " + privileges + " ON " + table +
                      " TO " + role + ")");
    };
    // A table's privileges come one after another.
    store.query(kMissing, {}, [&](const SqlRow& r) {
        const std::string name = lower(r.text(0));
        if (name != table) {
            flush();
            table = name;
            privileges.clear();
        }
        privileges.append(privileges.empty() ? "" : ", ").append(r.text(1));
    });
    flush();
    return out;
}

}  // namespace server
