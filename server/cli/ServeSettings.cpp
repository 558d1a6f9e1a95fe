#include "server/cli/ServeSettings.h"

#include <array>
#include <charconv>

#include "server/store/DatabaseUrl.h"
#include "server/cli/TokenSource.h"
#include "server/cli/ConfigError.h"

namespace server {

namespace {

constexpr std::array kServeKeys{
    ServeKey{"db", "URL", "", "banco de dados: sqlite:CAMINHO ou postgresql://usuario@host:porta/banco"},
    ServeKey{"listen", "HOST:PORTA", "127.0.0.1:7400", "endereço de escuta"},
    ServeKey{"token-file", "ARQUIVO", "", "arquivo com o token de acesso (relido com SIGHUP)"},
    ServeKey{"tls-cert", "ARQUIVO", "", "certificado TLS em PEM (relido com SIGHUP)"},
    ServeKey{"tls-key", "ARQUIVO", "", "chave privada do certificado TLS (relida com SIGHUP)"},
    ServeKey{"allow-plaintext", nullptr, "false",
             "aceita token sem TLS fora do endereço local"},
    ServeKey{"max-connections", "N", "256", "conexões simultâneas"},
    ServeKey{"idle-timeout", "SEG", "600", "fecha a conexão ociosa após este tempo"},
    ServeKey{"request-timeout", "SEG", "120", "tempo para uma requisição chegar inteira"},
    ServeKey{"frame-limit", "BYTES", "67108864", "tamanho máximo de uma mensagem"},
    ServeKey{"auth-timeout", "SEG", "10", "tempo para a conexão se autenticar"},
    ServeKey{"max-unauthenticated", "N", "",
             "conexões ainda sem autenticação, no máximo (um quarto de max-connections, até 64)"},
    ServeKey{"auth-failures", "N", "5", "falhas de autenticação que bloqueiam o endereço"},
    ServeKey{"auth-lockout", "SEG", "60", "tempo de bloqueio do endereço"},
    ServeKey{"db-timeout", "SEG", "15", "prazo de uma consulta ao banco"},
    ServeKey{"store-timeout", "SEG", "300", "prazo de uma gravação de regras"},
    ServeKey{"db-connect-timeout", "SEG", "5", "prazo para conectar ao banco"},
    ServeKey{"db-keepalive", "SEG", "30", "keepalive TCP da conexão com o banco"},
    ServeKey{"read-connections", "N", "",
             "conexões de leitura ao banco (padrão: o número de núcleos; uma no SQLite "
             "fora do modo WAL)"},
    ServeKey{"cache-mb", "MB", "256",
             "memória para as consultas respondidas sem ir ao banco (0: nenhuma)"},
    ServeKey{"change-log-days", "DIAS", "30",
             "dias que o registro de alterações das tabelas de preço guarda"},
    ServeKey{"shutdown-grace", "SEG", "300",
             "ao parar, tempo para as chamadas em curso terminarem"},
    ServeKey{"metrics", "HOST:PORTA", "",
             "serve /metrics e /healthz em HTTP neste endereço (desligado sem ele)"},
    ServeKey{"log-level", "NÍVEL", "info", "error, warning, info ou debug"},
};

const ServeKey* keyNamed(const std::string& name) {
    for (const ServeKey& key : kServeKeys) {
        if (name == key.name) {
            return &key;
        }
    }
    return nullptr;
}

}  // namespace

std::span<const ServeKey> serveKeys() {
    return kServeKeys;
}

void ServeSettings::setFromCommandLine(const std::string& key, std::string value) {
    values_[key] = Value{std::move(value), ""};
}

void ServeSettings::addFile(const ConfigFile& file) {
    for (const ConfigFile::Entry& entry : file.entries()) {
        if (keyNamed(entry.key) == nullptr) {
            throw ConfigError(file.where(entry) + ": " + entry.key +
                             ": chave desconhecida (as chaves são as opções de serve sem os "
                             "traços, como max-connections)");
        }
        // Refused before anything repeats it: the password belongs in the password file.
        if (hasPassword(entry.value)) {
            throw ConfigError(file.where(entry) + ": " + entry.key +
                             ": a senha do banco de dados não é aceita aqui; guarde-a no "
                             "arquivo de senhas do PostgreSQL (~/.pgpass, ou o arquivo que "
                             "PGPASSFILE indicar) e informe a URL sem ela");
        }
        values_.try_emplace(entry.key, Value{entry.value, file.where(entry)});
    }
}

const ServeSettings::Value* ServeSettings::find(const std::string& key) const {
    const auto it = values_.find(key);
    return it == values_.end() ? nullptr : &it->second;
}

std::string ServeSettings::named(const std::string& key) const {
    const Value* value = find(key);
    if (value == nullptr || value->origin.empty()) {
        return "--" + key;
    }
    return value->origin + ": " + key;
}

long long ServeSettings::positive(const std::string& key, long long fallback,
                                  long long largest, long long smallest) const {
    const Value* value = find(key);
    if (value == nullptr) {
        return fallback;
    }
    const std::string& text = value->text;
    long long number = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (ec != std::errc() || end != text.data() + text.size() || number < smallest ||
        number > largest) {
        throw ConfigError(named(key) + " deve ser um número inteiro entre " +
                          std::to_string(smallest) + " e " + std::to_string(largest));
    }
    return number;
}

bool ServeSettings::flag(const std::string& key) const {
    const Value* value = find(key);
    if (value == nullptr) {
        return false;
    }
    for (const char* yes : {"true", "yes", "sim", "1"}) {
        if (value->text == yes) return true;
    }
    for (const char* no : {"false", "no", "não", "nao", "0"}) {
        if (value->text == no) return false;
    }
    throw ConfigError(named(key) + " deve ser true ou false");
}

ServeSettings::Resolved ServeSettings::resolve() const {
    Resolved r;
    auto text = [&](const std::string& key) -> std::optional<std::string> {
        const Value* value = find(key);
        if (value == nullptr || value->text.empty()) {
            return std::nullopt;
        }
        return value->text;
    };
    const auto url = text("db");
    if (!url) {
        throw ConfigError("informe o banco de dados com --db URL (ou db = URL no arquivo de "
                         "configuração)");
    }
    r.url = *url;
    r.listen = text("listen").value_or(r.listen);
    r.metrics = text("metrics");
    if (r.metrics && r.metrics->rfind(':') == std::string::npos) {
        throw ConfigError(named("metrics") + " deve ser HOST:PORTA, como 127.0.0.1:7401");
    }
    if (const auto level = text("log-level")) {
        const auto parsed = parseLogLevel(*level);
        if (!parsed) {
            throw ConfigError(named("log-level") + " deve ser error, warning, info ou debug");
        }
        r.logLevel = *parsed;
    }

    ServerOptions& o = r.options;
    r.tokenFile = text("token-file");
    o.tlsCertificateFile = text("tls-cert").value_or("");
    o.tlsKeyFile = text("tls-key").value_or("");
    o.allowPlainText = flag("allow-plaintext");
    if (o.tlsCertificateFile.empty() != o.tlsKeyFile.empty()) {
        throw ConfigError("--tls-cert e --tls-key vão juntos");
    }
    o.maxConnections = static_cast<std::size_t>(
        positive("max-connections", static_cast<long long>(o.maxConnections), 100000));
    o.frameLimit = static_cast<std::size_t>(
        positive("frame-limit", static_cast<long long>(o.frameLimit), 1LL << 30));
    auto seconds = [&](const std::string& key, auto fallback) {
        using Duration = decltype(fallback);
        return std::chrono::duration_cast<Duration>(std::chrono::seconds(positive(
            key, std::chrono::duration_cast<std::chrono::seconds>(fallback).count(), 86400)));
    };
    o.idleTimeout = seconds("idle-timeout", o.idleTimeout);
    o.requestTimeout = seconds("request-timeout", o.requestTimeout);
    o.writeTimeout = o.requestTimeout;
    o.authTimeout = seconds("auth-timeout", o.authTimeout);
    o.authLockout = seconds("auth-lockout", o.authLockout);
    o.dbTimeout = seconds("db-timeout", o.dbTimeout);
    o.storeTimeout = seconds("store-timeout", o.storeTimeout);
    o.dbConnectTimeout = seconds("db-connect-timeout", o.dbConnectTimeout);
    o.dbKeepalive = seconds("db-keepalive", o.dbKeepalive);
    o.shutdownGrace = seconds("shutdown-grace", o.shutdownGrace);
    o.authFailures = static_cast<int>(positive("auth-failures", o.authFailures, 1000));
    o.changeLogDays = static_cast<int>(positive("change-log-days", o.changeLogDays, 36500));
    o.readConnections =
        static_cast<unsigned>(positive("read-connections", o.readConnections, 64));
    o.cacheBytes = static_cast<std::size_t>(
                       positive("cache-mb", static_cast<long long>(o.cacheBytes >> 20), 65536, 0))
                   << 20;
    o.maxUnauthenticated = static_cast<std::size_t>(positive(
        "max-unauthenticated", static_cast<long long>(o.unauthenticatedLimit()), 100000));
    if (o.maxUnauthenticated > o.maxConnections) {
        throw ConfigError("--max-unauthenticated não pode passar de --max-connections");
    }
    o.token = loadToken(r.tokenFile);
    return r;
}

}  // namespace server
