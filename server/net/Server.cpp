#include "server/net/Server.h"

#include <map>
#include <mutex>
#include <stdexcept>

#include "server/net/ListenAddress.h"
#include "server/net/ServerDatabase.h"
#include "server/net/ServerRun.h"
#include "server/ops/HealthProbe.h"
#include "server/ops/Log.h"
#include "server/rpc/PriceService.h"
#include "server/store/RuleStore.h"
#include "server/store/StoreFactory.h"

namespace server {

namespace {

ServerOptions withFrameLimit(std::size_t frameLimit) {
    ServerOptions options;
    options.frameLimit = frameLimit;
    return options;
}

}  // namespace

struct Server::Impl {
    std::string url;
    ListenAddress address;
    ServerOptions options;
    unsigned short boundPort = 0;
    mutable std::mutex mutex;
    std::unique_ptr<ServerRun> run;
    std::map<std::string, std::string> pendingFailures;  // asked for while stopped
    Metrics ownMetrics;
    // Asks ServerDatabase::problem, which reads only url and options (set once): stop()
    // may wait for it under the lock.
    std::unique_ptr<HealthProbe> health;

    Log& log() { return options.log ? *options.log : standardLog(); }
};

Server::Server(std::string dbUrl, std::string listen, std::size_t frameLimit)
    : Server(std::move(dbUrl), std::move(listen), withFrameLimit(frameLimit)) {}

Server::Server(std::string dbUrl, std::string listen, ServerOptions options)
    : impl_(std::make_unique<Impl>()) {
    impl_->url = std::move(dbUrl);
    impl_->address = ListenAddress::parse(listen);
    impl_->options = std::move(options);
    if (impl_->options.metrics == nullptr) {
        impl_->options.metrics = &impl_->ownMetrics;
    }
    const ServerOptions& o = impl_->options;
    impl_->health = std::make_unique<HealthProbe>(
        [impl = impl_.get()] { return ServerDatabase::problem(impl->url, impl->options); },
        o.healthInterval, 2 * o.healthInterval + 2 * o.dbConnectTimeout);
}

Server::~Server() {
    stop();
}

void Server::start() {
    std::lock_guard lock(impl_->mutex);
    if (impl_->run) {
        return;
    }
    // A restart listens on the port of the first start.
    const std::string port =
        impl_->boundPort != 0 ? std::to_string(impl_->boundPort) : impl_->address.port;
    auto run = std::make_unique<ServerRun>(impl_->url, impl_->address.host, port, impl_->options,
                                           impl_->log());
    for (const auto& [method, message] : impl_->pendingFailures) {
        run->dispatcher().failNext(method, message);
    }
    impl_->pendingFailures.clear();
    run->serve();
    impl_->boundPort = run->port();
    impl_->run = std::move(run);
    // The database has just answered, and said what the role lacks.
    impl_->health->open(impl_->run->problemAtOpen());
}

void Server::stop() {
    std::lock_guard lock(impl_->mutex);
    if (!impl_->run) {
        return;
    }
    impl_->health->close();
    impl_->run->stop();
    impl_->run.reset();  // closes the database
    // Whoever stopped the server may read its log now; a stalled log is not waited for long.
    impl_->log().flush(std::chrono::seconds(2));
}

void Server::reload(const std::optional<std::string>& token) {
    std::lock_guard lock(impl_->mutex);
    if (!impl_->run) {
        throw std::runtime_error("O servidor não está em execução.");
    }
    impl_->run->reload(token);
}

std::string Server::healthProblem() {
    return impl_->health->problem();
}

Metrics& Server::metrics() {
    return *impl_->options.metrics;
}

bool Server::running() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->run != nullptr;
}

unsigned short Server::port() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->boundPort;
}

void Server::failNext(const std::string& method, const std::string& message) {
    std::lock_guard lock(impl_->mutex);
    if (impl_->run) {
        impl_->run->dispatcher().failNext(method, message);
    } else {
        impl_->pendingFailures[method] = message;
    }
}

long Server::countRules() {
    std::shared_ptr<PriceService> reads;
    {
        std::lock_guard lock(impl_->mutex);
        if (impl_->run) {
            reads = impl_->run->sharedReads();
        }
    }
    // The count waits for the database as long as it must, holding nothing of the server's.
    return reads ? reads->countRules() : openStore(impl_->url)->countRules();
}

}  // namespace server
