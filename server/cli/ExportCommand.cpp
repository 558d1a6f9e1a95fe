// vnd-server export: a reference table in the file format `import` reads.

#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>

#include "server/cli/Command.h"
#include "server/cli/CsvFile.h"
#include "server/cli/UsageError.h"
#include "server/service/ReferenceImport.h"
#include "server/store/StoreFactory.h"

namespace server {

Command addExportCommand(CLI::App& program) {
    struct Options {
        std::string db, kind;
    };
    auto o = std::make_shared<Options>();
    CLI::App& command = newCommand(
        program, "export",
        "escreve na saída os dados de um TIPO no formato que import lê, com o cabeçalho");
    addDatabaseOption(command, o->db);
    command.add_option("kind", o->kind,
                       "filiais, tabelas, vigencias, produtos, sortimento, tipos, tipos-filial "
                       "ou precos")
        ->type_name("TIPO");
    return {&command, [o](std::ostream& out, std::ostream&) {
                requireDatabase(o->db);
                const ReferenceTable* table = referenceTableOf(o->kind);
                if (table == nullptr) {
                    throw UsageError("export: informe o TIPO (filiais, tabelas, vigencias, "
                                     "produtos, sortimento, tipos, tipos-filial ou precos)" +
                                     (o->kind.empty() ? std::string() : ", não " + o->kind));
                }
                auto store = openStoreToRead(o->db);
                store->readTogether([&] {
                    exportReference(*store, *table, [&](const std::vector<std::string>& cells) {
                        out << csvLine(cells) << '\n';
                    });
                });
                return 0;
            }};
}

}  // namespace server
