// vnd-server init: creates or upgrades the schema, and writes the demo data when asked.

#include <CLI/CLI.hpp>
#include <charconv>
#include <memory>
#include <ostream>

#include "server/cli/Command.h"
#include "server/store/DatabaseUrl.h"
#include "server/store/RuleStore.h"
#include "server/cli/DatabaseInit.h"
#include "server/cli/UsageError.h"

namespace server {

Command addInitCommand(CLI::App& program) {
    struct Options {
        std::string db;
        std::string products;
        bool demo = false;
        bool force = false;
    };
    auto o = std::make_shared<Options>();
    CLI::App& command = newCommand(program, "init", "cria ou atualiza o esquema do banco");
    addDatabaseOption(command, o->db);
    command.add_flag("--demo", o->demo, "grava os dados de demonstração");
    command.add_flag("--force", o->force,
                     "com --demo, substitui os dados de um banco que já os tem");
    command.add_option("--products", o->products, "produtos dos dados de demonstração (200)")
        ->type_name("N");
    return {&command, [o](std::ostream& out, std::ostream&) {
                requireDatabase(o->db);
                if (o->force && !o->demo) {
                    throw UsageError("--force só vale com --demo");
                }
                int products = demo::kDefaultProducts;
                if (!o->products.empty()) {
                    const std::string& text = o->products;
                    auto [end, ec] =
                        std::from_chars(text.data(), text.data() + text.size(), products);
                    if (ec != std::errc() || end != text.data() + text.size() || products < 0) {
                        throw UsageError("--products deve ser um número inteiro não negativo");
                    }
                }
                const long removed =
                    initDatabase(o->db, o->demo, products,
                                 o->force ? ExistingData::Replace : ExistingData::Refuse);
                out << "vnd-server: banco " << redactUrl(o->db) << " pronto (esquema versão "
                    << kSchemaVersion << (o->demo ? ", dados de demonstração" : "");
                if (o->force) {
                    out << "; " << removed
                        << (removed == 1 ? " regra removida" : " regras removidas")
                        << " por não ter mais filial, tabela, vigência ou produto";
                }
                out << ")\n";
                return 0;
            }};
}

}  // namespace server
