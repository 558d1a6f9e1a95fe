#pragma once
// One start..stop span of a server.

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "server/net/Acceptor.h"
#include "server/net/Connection.h"
#include "server/net/ConnectionManager.h"
#include "server/net/ServerDatabase.h"
#include "server/net/SocketLoops.h"
#include "server/net/TlsContext.h"
#include "server/net/WorkerPools.h"
#include "server/rpc/Dispatcher.h"
#include "server/service/ChangeWaiters.h"
#include "server/service/ChangeWatch.h"

namespace server {

class Log;
struct ServerOptions;

/// Everything of one run, made by the constructor and taken down by stop(), so that a
/// new start begins clean. Members are destroyed in reverse order: the workers go before
/// the dispatcher and the services they call, the event loops (whose queued handlers hold
/// connections) last.
class ServerRun {
public:
    /// Reads the TLS files, opens the database and listens on host:port. Throws
    /// std::runtime_error (Portuguese text) as Server::start says.
    ServerRun(const std::string& url, const std::string& host, const std::string& port,
              const ServerOptions& options, Log& log);
    ServerRun(const ServerRun&) = delete;
    ServerRun& operator=(const ServerRun&) = delete;

    /// Accepts connections and serves them on the run's own threads, until stop().
    void serve();

    unsigned short port() const { return acceptor_.port(); }
    Dispatcher& dispatcher() { return dispatcher_; }
    std::shared_ptr<PriceService> sharedReads() const { return database_.sharedReads(); }
    /// What was wrong with the database at start (ServerDatabase::problemAtOpen).
    const std::string& problemAtOpen() const { return database_.problemAtOpen(); }

    /// Stops accepting; idle connections end at once, calls under way get the options'
    /// grace period to finish and send their answers, then what still runs is abandoned
    /// (rolled back, its client told so). Returns once every thread has ended.
    void stop();
    /// Takes the token (when given) and reads the TLS files again (with TLS), for the
    /// connections made from now on; checks both before taking either. Throws
    /// std::runtime_error (Portuguese text), changing nothing.
    void reload(const std::optional<std::string>& token);

private:
    const ServerOptions& options_;
    SocketLoops loops_;
    ConnectionManager manager_;
    Acceptor acceptor_;
    TlsContext tls_;
    ChangeWaiters waiters_;
    ServerDatabase database_;
    ChangeWatch watch_;
    Dispatcher dispatcher_;
    WorkerPools workers_;
    ConnectionContext context_;
};

}  // namespace server
