#include "till/TillCommands.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <fstream>
#include <ostream>
#include <stdexcept>

#include "protocol/JsonRpc.h"
#include "till/TillReplica.h"
#include "vnd/Version.h"

namespace till {

namespace {

// A wrong use of the command line: exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Options {
    std::string server, branch, table, db, tokenFile, tlsCa, product, type, at;
    bool follow = false, csv = false;
};

// The help of the parser in the staff's language.
void speakPortuguese(CLI::App& app) {
    auto formatter = app.get_formatter();
    formatter->label("Usage", "uso");
    formatter->label("OPTIONS", "OPÇÕES");
    formatter->label("SUBCOMMAND", "COMANDO");
    formatter->label("SUBCOMMANDS", "COMANDOS");
    formatter->label("REQUIRED", "OBRIGATÓRIO");
    formatter->column_width(34);
    app.option_defaults()->group("Opções");
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

CLI::App& newCommand(CLI::App& program, const std::string& name, const std::string& help) {
    CLI::App* command = program.add_subcommand(name, help);
    command->group("Comandos");
    command->set_help_flag("-h,--help", "mostra esta ajuda e sai");
    return *command;
}

void addFileOption(CLI::App& command, Options& o) {
    command.add_option("--db", o.db, "o arquivo do caixa (SQLite)")->type_name("ARQUIVO");
}

void addMomentOptions(CLI::App& command, Options& o) {
    command.add_option("--type", o.type, "tipo de consumidor")->type_name("TIPO");
    command.add_option("--at", o.at, "o momento, como \"2026-03-10 12:00\" (padrão: agora)")
        ->type_name("\"AAAA-MM-DD HH:MM\"");
}

void require(const std::string& value, const char* option) {
    if (value.empty()) {
        throw UsageError(std::string("informe ") + option);
    }
}

TillSource sourceOf(const Options& o) {
    TillSource s;
    const auto colon = o.server.rfind(':');
    int port = 0;
    const char* digits = o.server.data() + colon + 1;
    const auto [end, ec] =
        colon == std::string::npos
            ? std::from_chars_result{digits, std::errc::invalid_argument}
            : std::from_chars(digits, o.server.data() + o.server.size(), port);
    if (colon == 0 || colon == std::string::npos || ec != std::errc() ||
        end != o.server.data() + o.server.size() || port < 1 || port > 65535) {
        throw UsageError("--server deve ser HOST:PORTA: " + o.server);
    }
    s.host = o.server.substr(0, colon);
    s.port = port;
    s.settings = wire::NetSettings::fromEnvironment();
    if (!o.tokenFile.empty()) {
        s.settings.token = wire::NetSettings::tokenFromFile(o.tokenFile);
        if (s.settings.token.empty()) {
            throw std::runtime_error("não há token em " + o.tokenFile +
                                     " (arquivo ilegível ou vazio)");
        }
    }
    if (!o.tlsCa.empty()) {
        s.settings.trustedCaFile = o.tlsCa;
    }
    s.branch = o.branch;
    s.table = o.table;
    return s;
}

int sync(const Options& o, std::ostream& out, std::ostream& err, const std::atomic<bool>& stop) {
    for (const auto& [value, name] : {std::pair{&o.server, "--server"}, std::pair{&o.branch, "--branch"},
                                      std::pair{&o.table, "--table"}, std::pair{&o.db, "--db"}}) {
        require(*value, name);
    }
    TillReplica replica(o.db, sourceOf(o));
    if (o.follow) {
        replica.follow(stop, err);
        err << "vnd-till: parado na alteração " << replica.changeNumber() << '\n';
        return 0;
    }
    out << "vnd-till: " << o.db << " na alteração " << replica.syncOnce() << '\n';
    return 0;
}

// Said on standard error before a price or a book: how current the file's data is.
void sayWhereTheFileStands(TillReplica& replica, std::ostream& err) {
    const TillStatus s = replica.status();
    err << "vnd-till: dados da alteração " << s.state.ate << ", atualizados em "
        << s.state.updatedAt << '\n';
}

}  // namespace

std::string statusText(const TillStatus& s) {
    return "filial: " + s.state.branch + "\ntabela: " + s.state.table +
           "\nalteracao: " + std::to_string(s.state.ate) + "\natualizado: " + s.state.updatedAt +
           "\nprodutos: " + std::to_string(s.products) + "\nregras: " + std::to_string(s.rules) +
           "\n";
}

int runTill(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            const std::atomic<bool>& stop) {
    CLI::App program("vnd-till: a réplica de preços de um caixa, em dia com o servidor, que "
                     "responde preços do seu próprio arquivo",
                     "vnd-till");
    speakPortuguese(program);
    program.set_help_flag("-h,--help", "mostra esta ajuda e sai");
    program.set_version_flag("--version", std::string("vnd-till ") + vnd::kVersion,
                             "mostra a versão e sai");
    program.footer(
        "O token de acesso vem de --token-file, ou das variáveis VND_SERVER_TOKEN_FILE e\n"
        "VND_SERVER_TOKEN; com --tls-ca (ou VND_SERVER_CA) a conexão usa TLS e só aceita o\n"
        "servidor cujo certificado essa autoridade assinou. VND_CALL_TIMEOUT: segundos de\n"
        "espera de cada chamada. Ajuda de um comando: vnd-till COMANDO --help.");
    program.require_subcommand(0, 1);
    Options o;

    CLI::App& syncCommand = newCommand(program, "sync",
        "traz os preços da filial e da tabela para o arquivo e aplica cada alteração");
    syncCommand.add_option("--server", o.server, "o servidor de aplicação")->type_name("HOST:PORTA");
    syncCommand.add_option("--branch", o.branch, "filial")->type_name("FILIAL");
    syncCommand.add_option("--table", o.table, "tabela de preços")->type_name("TABELA");
    addFileOption(syncCommand, o);
    syncCommand.add_flag("--follow", o.follow,
                         "continua seguindo as alterações até SIGTERM ou SIGINT");
    syncCommand.add_option("--token-file", o.tokenFile, "arquivo com o token de acesso")
        ->type_name("ARQUIVO");
    syncCommand.add_option("--tls-ca", o.tlsCa,
                           "autoridade certificadora do servidor (PEM): conexão com TLS")
        ->type_name("ARQUIVO");

    CLI::App& priceCommand = newCommand(program, "price",
        "o preço vigente de um produto e por quê, regra a regra, do arquivo do caixa");
    addFileOption(priceCommand, o);
    priceCommand.add_option("--product", o.product, "produto")->type_name("PRODUTO");
    addMomentOptions(priceCommand, o);

    CLI::App& pricesCommand = newCommand(program, "prices",
        "a tabela de preços vigentes de todos os produtos, do arquivo do caixa");
    addFileOption(pricesCommand, o);
    addMomentOptions(pricesCommand, o);
    pricesCommand.add_flag("--csv", o.csv, "valores separados por ; com decimais em vírgula");

    CLI::App& statusCommand =
        newCommand(program, "status", "a filial, a tabela e a alteração que o arquivo guarda");
    addFileOption(statusCommand, o);

    try {
        if (args.empty()) {
            err << program.help();
            return 2;
        }
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        try {
            program.parse(reversed);
        } catch (const CLI::CallForHelp&) {
            out << program.help();
            return 0;
        } catch (const CLI::CallForVersion&) {
            out << "vnd-till " << vnd::kVersion << '\n';
            return 0;
        } catch (const CLI::ParseError& e) {
            throw UsageError(e.what());
        }
        if (syncCommand.parsed()) {
            return sync(o, out, err, stop);
        }
        require(o.db, "--db");
        if (statusCommand.parsed()) {
            out << statusText(TillReplica(o.db).status());
            return 0;
        }
        // Without --at, now by the machine's clock: the local time a sale is made at.
        const std::string at = o.at.empty() ? clockNow("%Y-%m-%d %H:%M", false) : o.at;
        TillReplica replica(o.db);
        if (priceCommand.parsed()) {
            require(o.product, "--product");
            const server::PriceExplanation e = replica.price(o.product, o.type, at);
            sayWhereTheFileStands(replica, err);
            out << server::explanationText(e);
            return 0;
        }
        if (pricesCommand.parsed()) {
            replica.checkQuestion(o.type, at);
            sayWhereTheFileStands(replica, err);
            replica.writePrices(o.type, at, o.csv, out);
            return 0;
        }
        err << program.help();
        return 2;
    } catch (const UsageError& e) {
        err << "vnd-till: " << e.what() << "\nAjuda: vnd-till --help\n";
        return 2;
    } catch (const std::exception& e) {
        err << "vnd-till: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace till
