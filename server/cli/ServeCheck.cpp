#include "server/cli/ServeCheck.h"

#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "protocol/Asio.h"
#include "server/net/ListenAddress.h"
#include "server/net/TlsContext.h"
#include "server/store/DatabaseUrl.h"
#include "server/store/StoreFactory.h"
#include "server/store/Schema.h"

namespace server {

int checkServe(const ServeSettings::Resolved& settings, std::ostream& out, std::ostream& err) {
    const ServerOptions& options = settings.options;
    asio::io_context io;
    ListenAddress::parse(settings.listen).admitted(io, options);
    if (settings.metrics) {
        ListenAddress::parse(*settings.metrics);
    }
    const bool tls = !options.tlsCertificateFile.empty();
    if (tls) {
        TlsContext::check(options);
    }
    StoreSettings store;
    store.connectTimeout = options.dbConnectTimeout;
    store.keepaliveIdle = options.dbKeepalive;
    const InitialisedStore opened = openInitialisedStore(settings.url, store);
    const int version = opened.version;
    if (version > kSchemaVersion) {
        throw std::runtime_error(schema::newerVersionMessage(version));
    }
    const std::string db = redactUrl(settings.url);
    // What the server itself checks at start, and warns of.
    const std::vector<std::string> missing = opened.store->missingPrivileges();
    for (const std::string& sentence : missing) {
        err << "vnd-server: " << sentence << '\n';
    }
    if (!missing.empty()) {
        return 1;
    }
    out << "vnd-server: configuração conferida: escuta em " << settings.listen
        << (tls ? ", TLS" : "") << (options.token.empty() ? "" : ", com token")
        << (settings.metrics ? ", métricas em " + *settings.metrics : std::string())
        << "; banco " << db << " (esquema versão " << version << ")\n";
    if (version < kSchemaVersion) {
        out << "vnd-server: ao partir, o servidor atualiza o esquema para a versão "
            << kSchemaVersion << " se o seu papel puder alterá-lo; senão, rode antes "
            << "vnd-server init --db com a URL do dono do banco\n";
    }
    return 0;
}

}  // namespace server
