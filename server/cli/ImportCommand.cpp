// vnd-server import: a chain's own reference data from a `;`-separated UTF-8 file.

#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>

#include "server/cli/Command.h"
#include "server/cli/CommandCaller.h"
#include "server/cli/CsvFile.h"
#include "server/cli/UsageError.h"
#include "server/service/ReferenceImport.h"
#include "server/store/StoreFactory.h"

namespace server {

namespace {

constexpr const char* kNothingDone = "nada foi importado";

std::string count(long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The kinds and their columns, for the command's help: the optional ones in brackets.
std::string kindsHelp() {
    std::string out = "Colunas de cada TIPO, nesta ordem (uma linha de cabeçalho com os nomes é "
                      "aceita):\n";
    for (const ReferenceTable& t : referenceTables()) {
        out += "  " + std::string(t.kind) + ": ";
        for (std::size_t i = 0; i < t.columns.size(); ++i) {
            out += (i == 0 ? "" : i == t.required ? "[;" : ";") + std::string(t.columns[i].name);
        }
        out += t.required < t.columns.size() ? "]\n" : "\n";
    }
    return out +
           "Datas dd/mm/aaaa, valores com vírgula decimal. Cada linha inclui ou substitui uma\n"
           "linha da tabela; um erro em qualquer linha recusa o arquivo inteiro.";
}

}  // namespace

Command addImportCommand(CLI::App& program) {
    struct Options {
        std::string db, kind, file;
        bool full = false;
    };
    auto o = std::make_shared<Options>();
    CLI::App& command = newCommand(
        program, "import",
        "importa dados da rede (filiais, tabelas, vigências, produtos, sortimento, tipos de "
        "consumidor, preços) de um arquivo CSV em UTF-8 separado por ;, inteiro ou nada");
    addDatabaseOption(command, o->db);
    command.add_option("kind", o->kind,
                       "filiais, tabelas, vigencias, produtos, sortimento, tipos, tipos-filial "
                       "ou precos")
        ->type_name("TIPO");
    command.add_option("file", o->file, "o arquivo CSV")->type_name("ARQUIVO.csv");
    command.add_flag("--full", o->full,
                     "o arquivo é o conjunto completo das filiais ou tabelas que cita (de "
                     "produtos e tipos: de todos): o que faltar nele é removido, e as regras "
                     "que perderem produto, vigência ou tabela também (copiadas para o "
                     "histórico)");
    command.footer(kindsHelp());
    return {&command, [o](std::ostream& out, std::ostream&) {
                requireDatabase(o->db);
                const ReferenceTable* table = referenceTableOf(o->kind);
                if (table == nullptr) {
                    throw UsageError("import: informe o TIPO (filiais, tabelas, vigencias, "
                                     "produtos, sortimento, tipos, tipos-filial ou precos)" +
                                     (o->kind.empty() ? std::string() : ", não " + o->kind));
                }
                if (o->file.empty()) {
                    throw UsageError("import: informe o arquivo");
                }
                if (o->full && table->scopeColumns < 0) {
                    throw UsageError("--full não vale para " + o->kind);
                }
                std::vector<ImportLine> lines;
                readTextLines(o->file, kNothingDone, [&](int number, const std::string& line) {
                    lines.push_back({number, csvCells(line)});
                });
                auto store = openCurrentStore(o->db);
                store->setCaller(commandCaller("import"));
                ImportCounts done;
                try {
                    done = importReference(*store, *table, lines, o->full);
                } catch (const ImportRefused& e) {
                    throw std::runtime_error(
                        lineRefusal(o->file, e.line(), e.what(), kNothingDone));
                }
                out << "vnd-server: " << count(done.imported, "linha importada", "linhas importadas")
                    << " (" << o->kind << ")";
                if (o->full) {
                    out << "; " << count(done.removed, "linha removida", "linhas removidas");
                    if (done.dependents > 0) {
                        out << " e "
                            << count(done.dependents, "linha dependente", "linhas dependentes")
                            << " de outras tabelas";
                    }
                    out << "; "
                        << count(done.rules, "regra removida", "regras removidas")
                        << " por não ter mais filial, tabela, vigência ou produto"
                        << (done.rules == 1 ? " (copiada" : " (copiadas") << " para o histórico)";
                }
                out << '\n';
                return 0;
            }};
}

}  // namespace server
