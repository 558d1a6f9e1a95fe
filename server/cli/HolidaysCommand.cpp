// vnd-server holidays list|add|remove|import: the holidays the price rules go by.

#include <CLI/CLI.hpp>
#include <charconv>
#include <memory>

#include "server/cli/Command.h"
#include "server/cli/PricingCommands.h"
#include "server/cli/UsageError.h"

namespace server {

Command addHolidaysCommand(CLI::App& program) {
    struct Options {
        std::string db, branch, year, date, name, file;
        CLI::App* list = nullptr;
        CLI::App* add = nullptr;
        CLI::App* remove = nullptr;
        CLI::App* import = nullptr;
    };
    auto o = std::make_shared<Options>();
    CLI::App& command = newCommand(program, "holidays", "os feriados das filiais");
    addDatabaseOption(command, o->db);
    // The action's options may come before or after it, and --db anywhere.
    auto newAction = [&](const char* name, const char* help) {
        CLI::App* sub = command.add_subcommand(name, help);
        sub->group("Ações");
        sub->set_help_flag("-h,--help", "mostra esta ajuda e sai");
        sub->fallthrough();
        return sub;
    };
    o->list = newAction("list", "lista os feriados");
    o->list->add_option("--branch", o->branch, "só os da filial (e os de todas)")
        ->type_name("FILIAL");
    o->list->add_option("--year", o->year, "só os do ano")->type_name("ANO");
    o->add = newAction("add", "inclui (ou renomeia) um feriado");
    o->remove = newAction("remove", "exclui um feriado");
    for (CLI::App* sub : {o->add, o->remove}) {
        sub->add_option("--branch", o->branch, "filial, ou T para todas")->type_name("FILIAL|T");
        sub->add_option("--date", o->date, "data")->type_name("AAAA-MM-DD");
    }
    o->add->add_option("--name", o->name, "nome do feriado")->type_name("NOME");
    o->import =
        newAction("import", "importa um CSV em UTF-8, inteiro ou nada (filial;dd/mm/aaaa;nome)");
    o->import->add_option("file", o->file, "arquivo CSV")->type_name("ARQUIVO.csv");
    return {&command, [o](std::ostream& out, std::ostream&) {
                requireDatabase(o->db);
                auto need = [&](const char* action, const std::string& value, const char* name) {
                    if (value.empty()) {
                        throw UsageError(std::string("holidays ") + action + ": informe " + name);
                    }
                    return value;
                };
                if (o->list->parsed()) {
                    std::optional<int> year;
                    if (!o->year.empty()) {
                        int y = 0;
                        auto [end, ec] =
                            std::from_chars(o->year.data(), o->year.data() + o->year.size(), y);
                        if (ec != std::errc() || end != o->year.data() + o->year.size() ||
                            y < 1 || y > 9999) {
                            throw UsageError("--year deve ser um número inteiro entre 1 e 9999");
                        }
                        year = y;
                    }
                    listHolidays(o->db,
                                 o->branch.empty() ? std::nullopt : std::optional(o->branch),
                                 year, out);
                } else if (o->add->parsed()) {
                    addHoliday(o->db, need("add", o->branch, "--branch"),
                               need("add", o->date, "--date"), need("add", o->name, "--name"),
                               out);
                } else if (o->remove->parsed()) {
                    removeHoliday(o->db, need("remove", o->branch, "--branch"),
                                  need("remove", o->date, "--date"), out);
                } else if (o->import->parsed()) {
                    importHolidays(o->db, need("import", o->file, "o arquivo"), out);
                } else {
                    throw UsageError("holidays: use list, add, remove ou import");
                }
                return 0;
            }};
}

}  // namespace server
