// vnd-server serve: runs the application server until SIGINT or SIGTERM; SIGHUP reads
// the token file and the TLS certificate again.

#include <CLI/CLI.hpp>
#include <csignal>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>

#include <sys/stat.h>
#include <unistd.h>

#include "server/cli/Command.h"
#include "server/cli/ConfigFile.h"
#include "server/cli/ServeCheck.h"
#include "server/store/DatabaseUrl.h"
#include "server/ops/Log.h"
#include "server/ops/MetricsEndpoint.h"
#include "server/cli/ServeSettings.h"
#include "server/net/Server.h"
#include "server/cli/TokenSource.h"
#include "server/cli/UsageError.h"
#include "protocol/Asio.h"
#include "vnd/Version.h"

namespace server {

namespace {

constexpr const char* kDefaultConfig = "/etc/vnd-server/vnd-server.conf";

// Whether two descriptors write to the same file (a journal, a terminal, one pipe).
bool sameFile(int a, int b) {
    struct stat first{}, second{};
    return fstat(a, &first) == 0 && fstat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

int serve(const ServeSettings::Resolved& settings, std::ostream& out) {
    Log& log = standardLog();
    // Standard output names the ports for whoever started the server (a script, a
    // person); where it goes where the log goes, as under a service manager, the log's
    // start and stopping lines say the same, and only they are written, every line of
    // the journal then being an event.
    const bool announce = !sameFile(STDOUT_FILENO, STDERR_FILENO);
    log.setThreshold(settings.logLevel);
    // The handler is installed before the server's threads exist, so a signal never
    // finds one of them without it.
    asio::io_context signals_io;
    asio::signal_set signals(signals_io, SIGINT, SIGTERM, SIGHUP);
    const bool tls = !settings.options.tlsCertificateFile.empty();
    const bool token = !settings.options.token.empty();
    const std::string db = redactUrl(settings.url);
    Server server(settings.url, settings.listen, settings.options);
    server.start();
    std::unique_ptr<MetricsEndpoint> endpoint;
    if (settings.metrics) {
        endpoint = std::make_unique<MetricsEndpoint>(
            *settings.metrics, [&server] { return server.metrics().render(); },
            [&server] { return server.healthProblem(); });
    }
    const std::string host = settings.listen.substr(0, settings.listen.rfind(':'));
    if (announce) {
        out << "vnd-server: Vnd42400.rdmTabePreco em " << host << ':' << server.port()
            << " (banco " << db << (tls ? ", TLS" : "") << (token ? ", com token" : "");
        if (endpoint) {
            out << ", métricas em " << settings.metrics->substr(0, settings.metrics->rfind(':'))
                << ':' << endpoint->port();
        }
        out << ")" << std::endl;
    }
    log.event(LogLevel::Info, "start",
              {{"version", vnd::kVersion},
               {"listen", host + ":" + std::to_string(server.port())},
               {"db", db},
               {"tls", tls ? "yes" : "no"},
               {"token", token ? "yes" : "no"},
               {"metrics", endpoint ? settings.metrics->substr(0, settings.metrics->rfind(':')) +
                                          ":" + std::to_string(endpoint->port())
                                    : "off"}});
    int received = 0;
    std::function<void()> wait = [&] {
        signals.async_wait([&](const std::error_code& error, int signal) {
            if (error) return;
            if (signal != SIGHUP) {
                received = signal;
                return;
            }
            // A reload that fails keeps what was in force: the server goes on serving.
            try {
                server.reload(settings.tokenFile ? std::optional(loadToken(settings.tokenFile))
                                                 : std::nullopt);
                log.event(LogLevel::Info, "reload",
                          {{"token-file", settings.tokenFile.value_or("-")},
                           {"tls-cert", tls ? settings.options.tlsCertificateFile : "-"}});
            } catch (const std::exception& e) {
                log.event(LogLevel::Error, "reload-failed", {{"error", e.what()}});
            }
            wait();
        });
    };
    wait();
    signals_io.run();
    log.event(LogLevel::Info, "stopping", {{"signal", std::to_string(received)}});
    if (announce) {
        out << "vnd-server: sinal " << received << " recebido; encerrando" << std::endl;
    }
    endpoint.reset();
    server.stop();
    log.event(LogLevel::Info, "stop", {{"version", vnd::kVersion}, {"db", db}});
    return 0;
}

}  // namespace

Command addServeCommand(CLI::App& program) {
    struct Options {
        std::string config;
        CLI::Option* configGiven = nullptr;
        std::map<std::string, std::string> values;
        std::map<std::string, bool> flags;
        std::map<std::string, CLI::Option*> given;
        bool noConfig = false;
        bool check = false;
        std::string token;
        CLI::Option* tokenGiven = nullptr;
    };
    auto o = std::make_shared<Options>();
    CLI::App& command = newCommand(program, "serve", "atende as telas (JSON-RPC sobre TCP)");
    command.footer("Cada opção, salvo --config, --no-config e --check, vale também no arquivo "
                   "de configuração, como chave = valor (o nome da opção sem os traços); a "
                   "linha de comando prevalece sobre o arquivo. SIGHUP relê o arquivo do token "
                   "e o certificado TLS.");
    o->configGiven = command
                         .add_option("--config", o->config,
                                     std::string("arquivo de configuração (padrão: ") +
                                         kDefaultConfig + ", se existir)")
                         ->type_name("ARQUIVO");
    command.add_flag("--no-config", o->noConfig, "não lê arquivo de configuração algum");
    // A switch of the command line only: a configuration file that said it would stop
    // the service from serving.
    command.add_flag("--check", o->check,
                     "confere a configuração, o token, o TLS, o endereço, o banco e os "
                     "privilégios do papel, e sai sem escutar porta alguma");
    // Taken only to be refused with the reason, never used.
    o->tokenGiven = command.add_option("--token", o->token)->group("");
    for (const ServeKey& key : serveKeys()) {
        std::string help = key.help;
        if (*key.fallback != '\0' && key.placeholder != nullptr) {
            help += std::string(" (padrão: ") + key.fallback + ")";
        }
        const std::string name = std::string("--") + key.name;
        o->given[key.name] =
            key.placeholder == nullptr
                ? command.add_flag(name, o->flags[key.name], help)
                : command.add_option(name, o->values[key.name], help)->type_name(key.placeholder);
    }
    return {&command, [o](std::ostream& out, std::ostream& err) {
                if (o->tokenGiven->count() != 0) {
                    throw UsageError("o token não é aceito na linha de comando, onde outros "
                                     "usuários o veem; use --token-file ou VND_SERVER_TOKEN");
                }
                if (o->noConfig && o->configGiven->count() != 0) {
                    throw UsageError("--config e --no-config não vão juntos");
                }
                ServeSettings settings;
                for (const auto& [name, option] : o->given) {
                    if (option->count() != 0) {
                        settings.setFromCommandLine(
                            name, o->values.contains(name) ? o->values[name] : "true");
                    }
                }
                if (o->configGiven->count() != 0) {
                    settings.addFile(ConfigFile::load(o->config));
                } else if (!o->noConfig && std::filesystem::exists(kDefaultConfig)) {
                    settings.addFile(ConfigFile::load(kDefaultConfig));
                }
                if (o->check) {
                    return checkServe(settings.resolve(), out, err);
                }
                return serve(settings.resolve(), out);
            }};
}

}  // namespace server
