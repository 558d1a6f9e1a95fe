#include "server/net/Server.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>


#include "server/net/Connection.h"
#include "server/net/ConnectionManager.h"
#include "server/store/DatabaseUrl.h"
#include "server/rpc/Dispatcher.h"
#include "server/ops/Log.h"
#include "server/rpc/PriceService.h"
#include "server/store/RuleStore.h"
#include "protocol/Asio.h"

namespace server {

namespace {

struct ListenAddress {
    std::string host;
    std::string port;
};

ListenAddress splitAddress(const std::string& text) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) {
        throw std::invalid_argument("Endereço de escuta inválido: \"" + text +
                                    "\" (use HOST:PORTA).");
    }
    std::string host = text.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    const std::string port = text.substr(colon + 1);
    if (port.find_first_not_of("0123456789") != std::string::npos || port.size() > 5 ||
        std::stoi(port) > 65535) {
        throw std::invalid_argument("Porta inválida em \"" + text + "\".");
    }
    return {host, port};
}

bool isLoopback(const asio::ip::address& address) {
    if (address.is_v6() && address.to_v6().is_v4_mapped()) {
        return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6()).is_loopback();
    }
    return address.is_loopback();
}

// A store waits for the database as long as the calls it serves may wait, and no longer:
// the database's own statement bound ends what nobody waits for any more.
StoreSettings storeSettings(const ServerOptions& options, std::chrono::milliseconds callTimeout) {
    StoreSettings settings;
    settings.connectTimeout = options.dbConnectTimeout;
    settings.keepaliveIdle = options.dbKeepalive;
    settings.statementTimeout = callTimeout;
    return settings;
}

ServerOptions withFrameLimit(std::size_t frameLimit) {
    ServerOptions options;
    options.frameLimit = frameLimit;
    return options;
}

std::unique_ptr<asio::ssl::context> makeTlsContext(const ServerOptions& options) {
    auto tls = std::make_unique<asio::ssl::context>(asio::ssl::context::tls_server);
    if (options.tlsCertificateFile.empty() != options.tlsKeyFile.empty()) {
        throw std::runtime_error("Para TLS informe o certificado e a chave privada juntos.");
    }
    if (options.tlsCertificateFile.empty()) {
        return tls;  // never used: connections speak plain TCP
    }
    tls->set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                     asio::ssl::context::no_sslv3 | asio::ssl::context::no_tlsv1 |
                     asio::ssl::context::no_tlsv1_1 | asio::ssl::context::single_dh_use);
    try {
        tls->use_certificate_chain_file(options.tlsCertificateFile);
        tls->use_private_key_file(options.tlsKeyFile, asio::ssl::context::pem);
    } catch (const std::system_error& e) {
        throw std::runtime_error("Não foi possível ler o certificado TLS " +
                                 options.tlsCertificateFile + " ou sua chave " +
                                 options.tlsKeyFile + ": " + e.code().message());
    }
    return tls;
}

}  // namespace

// Everything of one start..stop span; destroyed by stop() so that a new start begins clean.
// Members are destroyed in reverse order: the workers go before the dispatcher and the
// services they call, the io_context (whose queued handlers hold connections) last.
struct Run {
    // The socket threads only move bytes, each with an event loop of its own: a
    // connection's handlers then all run on the thread its bytes arrive on, with no
    // hand-over between threads. Two keep one slow handshake from delaying the others.
    static constexpr int kSocketThreads = 2;
    std::vector<std::unique_ptr<asio::io_context>> loops = [] {
        std::vector<std::unique_ptr<asio::io_context>> made;
        for (int i = 0; i < kSocketThreads; ++i) {
            made.push_back(std::make_unique<asio::io_context>(1));
        }
        return made;
    }();
    asio::io_context& io = *loops.front();  // the acceptor's
    std::vector<asio::executor_work_guard<asio::io_context::executor_type>> keepRunning;
    std::size_t nextLoop = 0;
    asio::strand<asio::io_context::executor_type> strand{asio::make_strand(io)};
    asio::ip::tcp::acceptor acceptor{strand};
    asio::steady_timer acceptPause{strand};
    ConnectionManager manager;
    std::unique_ptr<asio::ssl::context> tls;
    std::unique_ptr<PriceService> reads;
    std::unique_ptr<PriceService> writes;
    std::unique_ptr<Dispatcher> dispatcher;
    std::unique_ptr<asio::thread_pool> workers;       // lookups
    std::unique_ptr<asio::thread_pool> storeWorkers;  // stores
    // Stores share one database connection and run one at a time; the threads beyond the
    // first wait for it, each no longer than its own call's deadline.
    static constexpr unsigned kStoreThreads = 4;
    std::unique_ptr<ConnectionContext> context;
    std::vector<std::thread> threads;
    std::atomic<bool> acceptorClosed{false};
};

struct Server::Impl {
    std::string url;
    ListenAddress address;
    ServerOptions options;
    unsigned short boundPort = 0;
    mutable std::mutex mutex;
    std::unique_ptr<Run> run;
    std::map<std::string, std::string> pendingFailures;  // asked for while stopped
    Metrics ownMetrics;

    Log& log() { return options.log ? *options.log : standardLog(); }

    void accept() {
        Run& r = *run;
        asio::io_context& loop = *r.loops[r.nextLoop++ % r.loops.size()];
        r.acceptor.async_accept(loop.get_executor(), [this, &r](const std::error_code& error,
                                                                asio::ip::tcp::socket socket) {
            if (!r.acceptor.is_open()) {
                return;
            }
            if (error) {
                // Out of descriptors, or a peer that reset before we took it: failing
                // again at once would spin a thread; a short pause lets closing
                // connections give their descriptors back.
                r.acceptPause.expires_after(std::chrono::milliseconds(50));
                r.acceptPause.async_wait([this](const std::error_code& e) {
                    if (!e && run->acceptor.is_open()) {
                        accept();
                    }
                });
                return;
            }
            // Answers are single short lines: sending them at once beats waiting to
            // coalesce them with data that never comes. Keepalives find peers that
            // vanished without closing (a till switched off).
            std::error_code ignored;
            socket.set_option(asio::ip::tcp::no_delay(true), ignored);
            socket.set_option(asio::socket_base::keep_alive(true), ignored);
            admit(std::move(socket));
            accept();
        });
    }

    // Connections that have not logged in have a cap of their own, below the cap of all
    // connections: when it is reached, the one that has waited longest makes room, so
    // peers that never log in cannot keep a real client out (whose login takes a round
    // trip or two), and each holds a slot for the login time at most. Over the cap of
    // all connections the peer is told the server is busy; a TLS peer after the
    // handshake, so that it can read the notice.
    void admit(asio::ip::tcp::socket socket) {
        Run& r = *run;
        const bool tls = !options.tlsCertificateFile.empty();
        if (r.manager.pending() >= options.unauthenticatedLimit()) {
            if (auto oldest = r.manager.takeOldestPending()) {
                oldest->close();
            }
        }
        const bool full = r.manager.size() >= options.maxConnections;
        if (full && !tls) {
            refuse(std::move(socket));
            return;
        }
        r.manager.start(std::make_shared<Connection>(std::move(socket), *r.context, full));
    }

    // One plain-text connection too many is told why before it is closed; the line fits
    // any socket buffer, and a peer that does not read it loses only the notice.
    void refuse(asio::ip::tcp::socket socket) {
        std::error_code ignored;
        const auto peer = socket.remote_endpoint(ignored);
        log().event(LogLevel::Warning, "connection-refused",
                    {{"peer", ignored ? std::string("?") : peer.address().to_string()},
                     {"reason", "busy"},
                     {"max-connections", std::to_string(options.maxConnections)}});
        const std::string line = Dispatcher::busy(options.maxConnections) + "\n";
        socket.non_blocking(true, ignored);
        socket.write_some(asio::buffer(line), ignored);
        socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        socket.close(ignored);
    }
};

Server::Server(std::string dbUrl, std::string listen, std::size_t frameLimit)
    : Server(std::move(dbUrl), std::move(listen), withFrameLimit(frameLimit)) {}

Server::Server(std::string dbUrl, std::string listen, ServerOptions options)
    : impl_(std::make_unique<Impl>()) {
    impl_->url = std::move(dbUrl);
    impl_->address = splitAddress(listen);
    impl_->options = std::move(options);
    if (impl_->options.metrics == nullptr) {
        impl_->options.metrics = &impl_->ownMetrics;
    }
}

Server::~Server() {
    stop();
}

void Server::start() {
    std::lock_guard lock(impl_->mutex);
    if (impl_->run) {
        return;
    }
    const ServerOptions& options = impl_->options;
    auto run = std::make_unique<Run>();
    run->tls = makeTlsContext(options);
    // Two connections to the database: a long store on one leaves the other free for
    // the lookups of every other screen.
    run->reads = std::make_unique<PriceService>(
        openCurrentStore(impl_->url, storeSettings(options, options.dbTimeout)));
    run->writes = std::make_unique<PriceService>(
        openStore(impl_->url, storeSettings(options, options.storeTimeout)));
    run->dispatcher = std::make_unique<Dispatcher>(*run->reads, *run->writes, options.rpc());
    for (const auto& [method, message] : impl_->pendingFailures) {
        run->dispatcher->failNext(method, message);
    }
    impl_->pendingFailures.clear();

    const std::string port =
        impl_->boundPort != 0 ? std::to_string(impl_->boundPort) : impl_->address.port;
    const std::string where = impl_->address.host + ":" + port;
    try {
        asio::ip::tcp::resolver resolver(run->io);
        const auto endpoint = resolver.resolve(impl_->address.host, port)->endpoint();
        if (!isLoopback(endpoint.address()) && options.token.empty()) {
            throw std::runtime_error(
                "Recusado escutar em " + where +
                ": fora do endereço local (loopback) o servidor exige um token de acesso "
                "(--token-file ou VND_SERVER_TOKEN).");
        }
        if (!isLoopback(endpoint.address()) && options.tlsCertificateFile.empty() &&
            !options.allowPlainText) {
            throw std::runtime_error(
                "Recusado escutar em " + where +
                " sem TLS: fora do endereço local (loopback) o token de acesso passaria pela "
                "rede em texto claro; use --tls-cert/--tls-key (ou --allow-plaintext, se o "
                "texto claro for intencional).");
        }
        run->acceptor.open(endpoint.protocol());
        // A restart finds the port's old connections in TIME_WAIT; they must not stop it.
        run->acceptor.set_option(asio::ip::tcp::acceptor::reuse_address(true));
        run->acceptor.bind(endpoint);
        run->acceptor.listen();
    } catch (const std::system_error& e) {
        throw std::runtime_error("Não foi possível escutar em " + where + ": " +
                                 e.code().message());
    }
    // Lookups and stores have pools of their own: a store that waits for the database
    // (up to its longer deadline) never makes a lookup wait for a thread. Each pool has
    // threads to spare, as a thread that waits for a stalled database does no work.
    const unsigned cores = std::thread::hardware_concurrency();
    const unsigned workers =
        options.workerThreads != 0 ? options.workerThreads : std::clamp(2 * cores, 4u, 16u);
    run->workers = std::make_unique<asio::thread_pool>(workers);
    run->storeWorkers = std::make_unique<asio::thread_pool>(Run::kStoreThreads);
    run->context = std::make_unique<ConnectionContext>(ConnectionContext{
        run->manager, *run->dispatcher, run->workers->get_executor(),
        run->storeWorkers->get_executor(), *run->tls, !options.tlsCertificateFile.empty(),
        impl_->options});
    impl_->options.metrics->watchConnections([&manager = run->manager] { return manager.size(); });
    impl_->boundPort = run->acceptor.local_endpoint().port();
    impl_->run = std::move(run);
    impl_->accept();
    for (auto& loop : impl_->run->loops) {
        impl_->run->keepRunning.push_back(asio::make_work_guard(*loop));
        impl_->run->threads.emplace_back([io = loop.get()] { io->run(); });
    }
}

void Server::stop() {
    std::lock_guard lock(impl_->mutex);
    if (!impl_->run) {
        return;
    }
    Run& r = *impl_->run;
    asio::post(r.strand, [&r] {
        std::error_code ignored;
        r.acceptor.close(ignored);
        r.acceptPause.cancel();
        r.manager.stopAll();
        r.acceptorClosed = true;
    });
    using Clock = std::chrono::steady_clock;
    auto waitUntil = [&r](Clock::time_point until) {
        while (!(r.acceptorClosed && r.manager.size() == 0) && Clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return r.acceptorClosed && r.manager.size() == 0;
    };
    // Idle connections end at once; a call under way has the grace period to finish and
    // send its answer (a store that commits is answered, never cut off).
    if (!waitUntil(Clock::now() + impl_->options.shutdownGrace)) {
        // What still runs is abandoned: its transaction is rolled back and its client
        // told so, in the few seconds the answers get to go out.
        r.reads->interrupt();
        r.writes->interrupt();
        waitUntil(Clock::now() + std::chrono::seconds(2));
    }
    r.manager.closeAll();
    // Every call has ended or been abandoned, so this does not wait for the database.
    r.workers->join();
    r.storeWorkers->join();
    r.keepRunning.clear();  // each loop ends once its last connection is gone
    for (std::thread& t : r.threads) {
        t.join();
    }
    impl_->options.metrics->watchConnections({});
    impl_->run.reset();  // closes the database
}

void Server::reload(const std::optional<std::string>& token) {
    std::lock_guard lock(impl_->mutex);
    if (!impl_->run) {
        throw std::runtime_error("O servidor não está em execução.");
    }
    Run& r = *impl_->run;
    // Both are checked before either is taken, so a bad file changes nothing.
    const bool tls = !impl_->options.tlsCertificateFile.empty();
    if (tls) {
        makeTlsContext(impl_->options);
    }
    if (token && token->empty()) {
        throw std::runtime_error("O novo token de acesso está vazio; o anterior continua valendo.");
    }
    // The dispatcher alone holds the token in force; the options keep the one the
    // server started with, read by connections without a lock (only whether it is
    // empty, which a reload never changes).
    if (token) {
        r.dispatcher->setToken(*token);
    }
    if (!tls) {
        return;
    }
    // The context is changed on the acceptor's strand, where connections are made, so
    // that no connection is being made from it meanwhile. Connections made before keep
    // the certificate they were made with.
    std::promise<void> done;
    asio::post(r.strand, [&] {
        try {
            r.tls->use_certificate_chain_file(impl_->options.tlsCertificateFile);
            r.tls->use_private_key_file(impl_->options.tlsKeyFile, asio::ssl::context::pem);
            done.set_value();
        } catch (...) {
            done.set_exception(std::current_exception());
        }
    });
    try {
        done.get_future().get();
    } catch (const std::system_error& e) {
        throw std::runtime_error("Não foi possível ler o certificado TLS " +
                                 impl_->options.tlsCertificateFile + " ou sua chave " +
                                 impl_->options.tlsKeyFile + ": " + e.code().message());
    }
}

bool Server::databaseAnswers() {
    std::string url;
    StoreSettings settings;
    {
        std::lock_guard lock(impl_->mutex);
        url = impl_->url;
        settings = storeSettings(impl_->options, impl_->options.dbConnectTimeout);
    }
    // A connection of its own: the server's connections may be busy with a long store,
    // and the question is whether the database answers now.
    try {
        return openStore(url, settings)->schemaVersion() > 0;
    } catch (const std::exception&) {
        return false;
    }
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
        impl_->run->dispatcher->failNext(method, message);
    } else {
        impl_->pendingFailures[method] = message;
    }
}

long Server::countRules() {
    std::unique_lock lock(impl_->mutex);
    if (impl_->run) {
        return impl_->run->reads->countRules();
    }
    lock.unlock();
    return openStore(impl_->url)->countRules();
}

long initDatabase(const std::string& url, bool demo, int products, ExistingData existing) {
    auto store = openStore(url, Creation::MayCreate);
    store->createSchema();
    if (!demo) {
        return 0;
    }
    // A demo set over a live database would replace its products and leave its rules
    // pointing at products that no longer exist: that takes an explicit --force.
    const StoredCounts found = store->storedCounts();
    if (!found.empty() && existing == ExistingData::Refuse) {
        throw std::runtime_error("O banco de dados " + redactUrl(url) + " já tem dados (" +
                                 found.text() +
                                 "); os dados de demonstração os substituiriam e as regras "
                                 "sem filial, tabela, vigência ou produto seriam removidas. "
                                 "Para substituí-los mesmo assim, use --force.");
    }
    return store->replaceReferenceData(demo::makeDataSet(products));
}

}  // namespace server
