// vnd-server rules: lists the stored rules, streamed row by row.

#include <CLI/CLI.hpp>
#include <memory>

#include "server/cli/Command.h"
#include "server/cli/Commands.h"

namespace server {

Command addRulesCommand(CLI::App& program) {
    struct Options {
        std::string db;
        std::string branch;
        std::string table;
        CLI::Option* branchGiven = nullptr;
        CLI::Option* tableGiven = nullptr;
    };
    auto o = std::make_shared<Options>();
    CLI::App& command =
        newCommand(program, "rules", "lista as regras gravadas, separadas por tabulação");
    addDatabaseOption(command, o->db);
    o->branchGiven =
        command.add_option("--branch", o->branch, "só as da filial")->type_name("CODIGO");
    o->tableGiven = command.add_option("--table", o->table, "só as da tabela de preços")
                        ->type_name("CODIGO");
    return {&command, [o](std::ostream& out, std::ostream&) {
                requireDatabase(o->db);
                printRules(o->db, o->branchGiven->count() != 0 ? &o->branch : nullptr,
                           o->tableGiven->count() != 0 ? &o->table : nullptr, out);
                return 0;
            }};
}

}  // namespace server
