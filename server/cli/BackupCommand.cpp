// vnd-server backup: a consistent copy of a SQLite database, taken while servers run.

#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>

#include "server/cli/Command.h"
#include "server/store/sqlite/SqliteBackup.h"
#include "server/cli/UsageError.h"

namespace server {

Command addBackupCommand(CLI::App& program) {
    struct Options {
        std::string db;
        std::string to;
    };
    auto o = std::make_shared<Options>();
    CLI::App& command = newCommand(program, "backup",
                                   "copia um banco SQLite em uso, de forma consistente");
    addDatabaseOption(command, o->db);
    command.add_option("--to", o->to, "arquivo da cópia (substituído se existir)")
        ->type_name("ARQUIVO");
    return {&command, [o](std::ostream& out, std::ostream&) {
                requireDatabase(o->db);
                constexpr std::string_view kSqlite = "sqlite:";
                if (!o->db.starts_with(kSqlite)) {
                    throw UsageError("backup copia bancos SQLite (--db sqlite:ARQUIVO); para o "
                                     "PostgreSQL use pg_dump");
                }
                if (o->to.empty()) {
                    throw UsageError("informe o arquivo da cópia com --to ARQUIVO");
                }
                const long pages = backupSqlite(o->db.substr(kSqlite.size()), o->to);
                out << "vnd-server: cópia de " << o->db.substr(kSqlite.size()) << " gravada em "
                    << o->to << " (" << pages << " páginas)\n";
                return 0;
            }};
}

}  // namespace server
