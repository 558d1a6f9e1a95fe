#include "server/cli/Commands.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>
#include <stdexcept>


#include "server/cli/Command.h"
#include "server/cli/ConfigError.h"
#include "server/store/DatabaseUrl.h"
#include "server/store/StoreFactory.h"
#include "server/store/UpgradeDenied.h"
#include "server/cli/UsageError.h"
#include "server/ops/NumberText.h"
#include "vnd/Version.h"

namespace server {

namespace {

// Every command of the program; a new one is added here and in a file of its own.
constexpr AddCommand kCommands[] = {
    addInitCommand,
    addServeCommand,
    addRulesCommand,
    addBackupCommand,
    addPriceCommand,
    addPricesCommand,
    addHolidaysCommand,
    addImportCommand,
    addExportCommand,
    addLocalDbCommand,
    addBasePricesCommand,
    addChangesCommand,
};

constexpr const char* kFooter =
    "URL: sqlite:CAMINHO ou postgresql://usuario@host:porta/banco; a senha do PostgreSQL\n"
    "fica no arquivo de senhas (~/.pgpass ou o de PGPASSFILE), nunca na URL.\n"
    "O token de acesso vem do arquivo de --token-file ou da variável VND_SERVER_TOKEN;\n"
    "sem token o servidor só escuta no endereço local (127.0.0.1), e fora dele só com TLS\n"
    "(ou --allow-plaintext, se o token puder passar em texto claro).\n"
    "init --demo num banco que já tem dados só os substitui com --force; as regras que\n"
    "ficarem sem filial, tabela, vigência ou produto são então removidas.\n"
    "Ajuda de um comando: vnd-server COMANDO --help.";

// The help of the parser in the staff's language.
void speakPortuguese(CLI::App& app) {
    auto formatter = app.get_formatter();
    formatter->label("Usage", "uso");
    formatter->label("OPTIONS", "OPÇÕES");
    formatter->label("SUBCOMMAND", "COMANDO");
    formatter->label("SUBCOMMANDS", "COMANDOS");
    formatter->label("REQUIRED", "OBRIGATÓRIO");
    formatter->label("Positionals", "Argumentos");
    formatter->label("Needs", "Requer");
    formatter->label("Excludes", "Exclui");
    formatter->label("Env", "Variável");
    formatter->column_width(34);
    app.option_defaults()->group("Opções");
    // An option given twice takes its last value, as the shell's habits expect.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

// CLI11's own messages are English; the few a user meets are said again in Portuguese.
[[noreturn]] void rethrowInPortuguese(const CLI::ParseError& e) {
    const std::string what = e.what();
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr) {
        throw UsageError("a opção " + what.substr(0, what.find(':')) + " precisa de um valor");
    }
    throw UsageError(what);
}

void checkNothingLeft(const CLI::App& app) {
    for (const CLI::App* command : app.get_subcommands()) {
        const auto left = command->remaining();
        if (!left.empty()) {
            throw UsageError("opção desconhecida: " + left.front());
        }
    }
}

}  // namespace

CLI::App& newCommand(CLI::App& program, const std::string& name, const std::string& help) {
    CLI::App* command = program.add_subcommand(name, help);
    command->group("Comandos");
    command->set_help_flag("-h,--help", "mostra esta ajuda e sai");
    command->set_version_flag("--version", std::string("vnd-server ") + vnd::kVersion,
                              "mostra a versão e sai");
    command->allow_extras();
    return *command;
}

void addDatabaseOption(CLI::App& command, std::string& target) {
    command.add_option("--db", target,
                       "banco de dados: sqlite:CAMINHO ou postgresql://usuario@host:porta/banco")
        ->type_name("URL");
}

void requireDatabase(const std::string& url) {
    if (url.empty()) {
        throw UsageError("informe o banco de dados com --db URL");
    }
}

void printRules(const std::string& url, const std::string* branch, const std::string* table,
                std::ostream& out) {
    auto store = openStore(url);
    if (store->schemaVersion() == 0) {
        throw std::runtime_error("O banco de dados não foi inicializado; execute vnd-server init.");
    }
    out << "CDFILIAL\tCDTABEPREC\tDTINIVGPREC\tCDPRODUTO\tIDDIA\tCDTIPOCONS\tHRINI\tHRFIN\t"
           "DTINIVALID\tDTFINVALID\tIDDESCACRE\tIDVALPERC\tVRPRECDIF\tIDVISUALIZA\tDTULTATU\n";
    // Row by row as the store reads them: a database of millions of rules is listed in
    // the memory of a few.
    store->forEachRule(branch ? std::optional(*branch) : std::nullopt,
                       table ? std::optional(*table) : std::nullopt, [&](const RuleRow& r) {
                           out << r.branch << '\t' << r.table << '\t' << r.periodStart.iso()
                               << '\t' << r.product << '\t' << r.day << '\t' << r.consumerType
                               << '\t' << r.timeStart << '\t' << r.timeEnd << '\t'
                               << r.validFrom.iso() << '\t' << r.validTo.iso() << '\t'
                               << columnValue(r.adjustment) << '\t' << columnValue(r.amountKind)
                               << '\t' << numberText(r.amount) << '\t'
                               << columnValue(r.display) << '\t'
                               << r.updatedAt << '\n';
                       });
}

int runCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    CLI::App program("vnd-server: servidor de aplicação da tela de preços diferenciados "
                     "(objeto remoto Vnd42400.rdmTabePreco)",
                     "vnd-server");
    speakPortuguese(program);
    program.set_help_flag("-h,--help", "mostra esta ajuda e sai");
    program.set_version_flag("--version", std::string("vnd-server ") + vnd::kVersion,
                             "mostra a versão e sai");
    program.footer(kFooter);
    program.allow_extras();
    std::vector<Command> commands;
    for (AddCommand add : kCommands) {
        commands.push_back(add(program));
    }
    try {
        if (args.empty()) {
            err << program.help();
            return 2;
        }
        // Refused before anything else reads the arguments, so that no message repeats
        // the password either.
        for (const std::string& arg : args) {
            if (hasPassword(arg)) {
                throw UsageError(
                    "a senha do banco de dados não é aceita na linha de comando, onde outros "
                    "usuários a veem; guarde-a no arquivo de senhas do PostgreSQL (~/.pgpass, "
                    "ou o arquivo que PGPASSFILE indicar) e informe a URL sem ela");
            }
        }
        // CLI11 takes the arguments last first.
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        try {
            program.parse(reversed);
        } catch (const CLI::CallForHelp&) {
            out << program.help();
            return 0;
        } catch (const CLI::CallForAllHelp&) {
            out << program.help("", CLI::AppFormatMode::All);
            return 0;
        } catch (const CLI::CallForVersion&) {
            out << "vnd-server " << vnd::kVersion << '\n';
            return 0;
        } catch (const CLI::ParseError& e) {
            rethrowInPortuguese(e);
        }
        for (const Command& command : commands) {
            if (command.app->parsed()) {
                checkNothingLeft(program);
                return command.run(out, err);
            }
        }
        const auto left = program.remaining();
        if (left.empty()) {
            err << program.help();
            return 2;
        }
        throw UsageError("comando desconhecido: " + left.front());
    } catch (const UsageError& e) {
        err << "vnd-server: " << e.what() << "\nAjuda: vnd-server --help\n";
        return 2;
    } catch (const ConfigError& e) {
        err << "vnd-server: " << e.what() << "\nAjuda: vnd-server --help\n";
        return 2;
    } catch (const UpgradeDenied& e) {
        err << "vnd-server: " << e.what() << '\n';
        return kExitNeedsOwner;
    } catch (const std::exception& e) {
        err << "vnd-server: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace server
