#include "Commands.h"

#include <charconv>
#include <csignal>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <stdexcept>


#include "PricingCommands.h"
#include "RuleStore.h"
#include "Server.h"
#include "TokenSource.h"
#include "protocol/Asio.h"

namespace server {

namespace {

constexpr const char* kUsage =
    "uso:\n"
    "  vnd-server init --db URL [--demo [--force]] [--products N]\n"
    "  vnd-server serve --db URL [--listen HOST:PORTA] [--token-file ARQUIVO]\n"
    "                   [--tls-cert ARQUIVO --tls-key ARQUIVO] [--allow-plaintext]\n"
    "                   [--max-connections N] [--idle-timeout SEG] [--request-timeout SEG]\n"
    "                   [--frame-limit BYTES] [--auth-timeout SEG] [--max-unauthenticated N]\n"
    "                   [--auth-failures N] [--auth-lockout SEG]\n"
    "                   [--db-timeout SEG] [--store-timeout SEG] [--db-connect-timeout SEG]\n"
    "                   [--db-keepalive SEG] [--shutdown-grace SEG]\n"
    "  vnd-server rules --db URL [--branch CODIGO] [--table CODIGO]\n"
    "  vnd-server price --db URL --branch FILIAL --table TABELA --product PRODUTO\n"
    "                   [--type TIPO] --at \"AAAA-MM-DD HH:MM\"\n"
    "  vnd-server prices --db URL --branch FILIAL --table TABELA [--type TIPO]\n"
    "                   --at \"AAAA-MM-DD HH:MM\" [--csv]\n"
    "  vnd-server holidays --db URL list [--branch FILIAL] [--year ANO]\n"
    "  vnd-server holidays --db URL add --branch FILIAL|T --date AAAA-MM-DD --name NOME\n"
    "  vnd-server holidays --db URL remove --branch FILIAL|T --date AAAA-MM-DD\n"
    "  vnd-server holidays --db URL import ARQUIVO.csv   (linhas filial;dd/mm/aaaa;nome)\n"
    "URL: sqlite:CAMINHO ou postgresql://usuario@host:porta/banco; a senha do PostgreSQL\n"
    "fica no arquivo de senhas (~/.pgpass ou o de PGPASSFILE), nunca na URL.\n"
    "O token de acesso vem do arquivo de --token-file ou da variável VND_SERVER_TOKEN;\n"
    "sem token o servidor só escuta no endereço local (127.0.0.1), e fora dele só com TLS\n"
    "(ou --allow-plaintext, se o token puder passar em texto claro).\n"
    "init --demo num banco que já tem dados só os substitui com --force; as regras que\n"
    "ficarem sem filial, tabela, vigência ou produto são então removidas.\n";

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Options of one command: those that take a value and those that are flags.
std::map<std::string, std::string> parseOptions(const std::vector<std::string>& args,
                                                const std::set<std::string>& valued,
                                                const std::set<std::string>& flags) {
    std::map<std::string, std::string> options;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (flags.contains(name)) {
            options[name] = "";
        } else if (valued.contains(name)) {
            if (i + 1 >= args.size()) {
                throw UsageError("a opção " + name + " precisa de um valor");
            }
            options[name] = args[++i];
        } else {
            throw UsageError("opção desconhecida: " + name);
        }
    }
    if (!options.contains("--db")) {
        throw UsageError("informe o banco de dados com --db URL");
    }
    return options;
}

std::string numberText(double value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, end);
}

// A positive whole number of an option, within a sane bound.
long long positive(std::map<std::string, std::string>& options, const std::string& name,
                   long long fallback, long long largest) {
    if (!options.contains(name)) {
        return fallback;
    }
    const std::string& text = options[name];
    long long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value <= 0 || value > largest) {
        throw UsageError(name + " deve ser um número inteiro entre 1 e " +
                         std::to_string(largest));
    }
    return value;
}

ServerOptions serveOptions(std::map<std::string, std::string>& options) {
    ServerOptions o;
    o.token = loadToken(options.contains("--token-file") ? std::optional(options["--token-file"])
                                                         : std::nullopt);
    o.tlsCertificateFile = options["--tls-cert"];
    o.tlsKeyFile = options["--tls-key"];
    o.allowPlainText = options.contains("--allow-plaintext");
    if (o.tlsCertificateFile.empty() != o.tlsKeyFile.empty()) {
        throw UsageError("--tls-cert e --tls-key vão juntos");
    }
    o.maxConnections = static_cast<std::size_t>(
        positive(options, "--max-connections", static_cast<long long>(o.maxConnections), 100000));
    o.frameLimit = static_cast<std::size_t>(positive(
        options, "--frame-limit", static_cast<long long>(o.frameLimit), 1LL << 30));
    o.idleTimeout = std::chrono::seconds(positive(
        options, "--idle-timeout",
        std::chrono::duration_cast<std::chrono::seconds>(o.idleTimeout).count(), 86400));
    o.requestTimeout = std::chrono::seconds(positive(
        options, "--request-timeout",
        std::chrono::duration_cast<std::chrono::seconds>(o.requestTimeout).count(), 86400));
    o.writeTimeout = o.requestTimeout;
    auto seconds = [&](const std::string& name, auto fallback) {
        using Duration = decltype(fallback);
        return std::chrono::duration_cast<Duration>(std::chrono::seconds(positive(
            options, name, std::chrono::duration_cast<std::chrono::seconds>(fallback).count(),
            86400)));
    };
    o.authTimeout = seconds("--auth-timeout", o.authTimeout);
    o.authLockout = seconds("--auth-lockout", o.authLockout);
    o.dbTimeout = seconds("--db-timeout", o.dbTimeout);
    o.storeTimeout = seconds("--store-timeout", o.storeTimeout);
    o.dbConnectTimeout = seconds("--db-connect-timeout", o.dbConnectTimeout);
    o.dbKeepalive = seconds("--db-keepalive", o.dbKeepalive);
    o.shutdownGrace = seconds("--shutdown-grace", o.shutdownGrace);
    o.authFailures = static_cast<int>(positive(options, "--auth-failures", o.authFailures, 1000));
    o.maxUnauthenticated = static_cast<std::size_t>(positive(
        options, "--max-unauthenticated", static_cast<long long>(o.unauthenticatedLimit()),
        100000));
    if (o.maxUnauthenticated > o.maxConnections) {
        throw UsageError("--max-unauthenticated não pode passar de --max-connections");
    }
    return o;
}

int serve(const std::string& url, const std::string& listen, ServerOptions options,
          std::ostream& out) {
    // The handler is installed before the server's threads exist, so a signal never
    // finds one of them without it.
    asio::io_context signals_io;
    asio::signal_set signals(signals_io, SIGINT, SIGTERM);
    const bool tls = !options.tlsCertificateFile.empty();
    const bool token = !options.token.empty();
    Server server(url, listen, std::move(options));
    server.start();
    out << "vnd-server: Vnd42400.rdmTabePreco em " << listen.substr(0, listen.rfind(':')) << ':'
        << server.port() << " (banco " << redactUrl(url) << (tls ? ", TLS" : "")
        << (token ? ", com token" : "") << ")" << std::endl;
    int received = 0;
    signals.async_wait([&](const std::error_code&, int signal) { received = signal; });
    signals_io.run();
    out << "vnd-server: sinal " << received << " recebido; encerrando" << std::endl;
    server.stop();
    return 0;
}

// holidays --db URL list|add|remove|import ...: the action is the one word without a dash.
int holidaysCommand(const std::vector<std::string>& args, std::ostream& out) {
    std::vector<std::string> rest{args[0]};
    std::string action;
    std::string file;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const bool valued = args[i] == "--db" || args[i] == "--branch" || args[i] == "--year" ||
                            args[i] == "--date" || args[i] == "--name";
        if (valued && i + 1 < args.size()) {
            rest.push_back(args[i]);
            rest.push_back(args[++i]);
        } else if (!args[i].starts_with("--") && action.empty()) {
            action = args[i];
        } else if (!args[i].starts_with("--") && action == "import" && file.empty()) {
            file = args[i];
        } else {
            rest.push_back(args[i]);
        }
    }
    auto options = parseOptions(rest, {"--db", "--branch", "--year", "--date", "--name"}, {});
    auto need = [&](const char* name) -> const std::string& {
        if (!options.contains(name)) {
            throw UsageError(std::string("holidays ") + action + ": informe " + name);
        }
        return options[name];
    };
    if (action == "list") {
        std::optional<int> year;
        if (options.contains("--year")) {
            year = static_cast<int>(positive(options, "--year", 0, 9999));
        }
        listHolidays(options["--db"],
                     options.contains("--branch") ? std::optional(options["--branch"]) : std::nullopt,
                     year, out);
    } else if (action == "add") {
        addHoliday(options["--db"], need("--branch"), need("--date"), need("--name"), out);
    } else if (action == "remove") {
        removeHoliday(options["--db"], need("--branch"), need("--date"), out);
    } else if (action == "import") {
        if (file.empty()) {
            throw UsageError("holidays import: informe o arquivo");
        }
        importHolidays(options["--db"], file, out);
    } else {
        throw UsageError("holidays: use list, add, remove ou import");
    }
    return 0;
}

}  // namespace

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
                               << r.surcharge << '\t' << r.percentage << '\t'
                               << numberText(r.amount) << '\t' << r.display << '\t'
                               << r.updatedAt << '\n';
                       });
}

int runCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        if (args.empty() || args[0] == "--help" || args[0] == "-h") {
            (args.empty() ? err : out) << kUsage;
            return args.empty() ? 2 : 0;
        }
        const std::string& command = args[0];
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
        if (command == "init") {
            auto options = parseOptions(args, {"--db", "--products"}, {"--demo", "--force"});
            const bool demo = options.contains("--demo");
            const bool force = options.contains("--force");
            if (force && !demo) {
                throw UsageError("--force só vale com --demo");
            }
            int products = demo::kDefaultProducts;
            if (options.contains("--products")) {
                const std::string& text = options["--products"];
                auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), products);
                if (ec != std::errc() || end != text.data() + text.size() || products < 0) {
                    throw UsageError("--products deve ser um número inteiro não negativo");
                }
            }
            const long removed =
                initDatabase(options["--db"], demo, products,
                             force ? ExistingData::Replace : ExistingData::Refuse);
            out << "vnd-server: banco " << redactUrl(options["--db"]) << " pronto (esquema versão "
                << kSchemaVersion << (demo ? ", dados de demonstração" : "");
            if (force) {
                out << "; " << removed
                    << (removed == 1 ? " regra removida" : " regras removidas")
                    << " por não ter mais filial, tabela, vigência ou produto";
            }
            out << ")\n";
            return 0;
        }
        if (command == "serve") {
            for (const std::string& arg : args) {
                if (arg == "--token") {
                    throw UsageError("o token não é aceito na linha de comando, onde outros "
                                     "usuários o veem; use --token-file ou VND_SERVER_TOKEN");
                }
            }
            auto options = parseOptions(args,
                                        {"--db", "--listen", "--token-file", "--tls-cert",
                                         "--tls-key", "--max-connections", "--idle-timeout",
                                         "--request-timeout", "--frame-limit", "--auth-timeout",
                                         "--max-unauthenticated", "--auth-failures",
                                         "--auth-lockout", "--db-timeout", "--store-timeout",
                                         "--db-connect-timeout", "--db-keepalive",
                                         "--shutdown-grace"},
                                        {"--allow-plaintext"});
            ServerOptions serverOptions = serveOptions(options);
            return serve(options["--db"],
                         options.contains("--listen") ? options["--listen"] : "127.0.0.1:7400",
                         std::move(serverOptions), out);
        }
        if (command == "rules") {
            auto options = parseOptions(args, {"--db", "--branch", "--table"}, {});
            const std::string* branch =
                options.contains("--branch") ? &options["--branch"] : nullptr;
            const std::string* table = options.contains("--table") ? &options["--table"] : nullptr;
            printRules(options["--db"], branch, table, out);
            return 0;
        }
        if (command == "price" || command == "prices") {
            const bool one = command == "price";
            auto options = parseOptions(
                args, one ? std::set<std::string>{"--db", "--branch", "--table", "--product", "--type", "--at"}
                          : std::set<std::string>{"--db", "--branch", "--table", "--type", "--at"},
                one ? std::set<std::string>{} : std::set<std::string>{"--csv"});
            for (const char* needed : {"--branch", "--table", "--at"}) {
                if (!options.contains(needed)) {
                    throw UsageError(std::string("informe ") + needed);
                }
            }
            const PriceQuestion question{options["--db"], options["--branch"], options["--table"],
                                         options["--type"], options["--at"]};
            if (one) {
                if (!options.contains("--product")) {
                    throw UsageError("informe --product");
                }
                printPrice(question, options["--product"], out);
            } else {
                printPrices(question, options.contains("--csv"), out);
            }
            return 0;
        }
        if (command == "holidays") {
            return holidaysCommand(args, out);
        }
        throw UsageError("comando desconhecido: " + command);
    } catch (const UsageError& e) {
        err << "vnd-server: " << e.what() << '\n' << kUsage;
        return 2;
    } catch (const std::exception& e) {
        err << "vnd-server: " << e.what() << '\n';
        return 1;
    }
}

}  // namespace server
