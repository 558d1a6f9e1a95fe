#include "Server.h"

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include <asio.hpp>

#include "Connection.h"
#include "ConnectionManager.h"
#include "Dispatcher.h"
#include "PriceService.h"
#include "RuleStore.h"

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

std::unique_ptr<RuleStore> openInitialisedStore(const std::string& url) {
    auto store = openStore(url);
    const int version = store->schemaVersion();
    if (version == 0) {
        throw std::runtime_error("O banco de dados " + url +
                                 " não foi inicializado; execute vnd-server init --db " + url +
                                 ".");
    }
    if (version > kSchemaVersion) {
        throw std::runtime_error("O banco de dados tem o esquema versão " +
                                 std::to_string(version) + ", mais novo que o deste servidor.");
    }
    return store;
}

}  // namespace

// Everything of one start..stop span; destroyed by stop() so that a new start begins clean.
struct Run {
    asio::io_context io;
    asio::strand<asio::io_context::executor_type> strand{asio::make_strand(io)};
    asio::ip::tcp::acceptor acceptor{strand};
    ConnectionManager manager;
    std::unique_ptr<PriceService> service;
    std::unique_ptr<Dispatcher> dispatcher;
    std::vector<std::thread> threads;
    std::atomic<bool> acceptorClosed{false};
};

struct Server::Impl {
    std::string url;
    ListenAddress address;
    std::size_t frameLimit;
    unsigned short boundPort = 0;
    mutable std::mutex mutex;
    std::unique_ptr<Run> run;
    std::map<std::string, std::string> pendingFailures;  // asked for while stopped

    void accept() {
        Run& r = *run;
        r.acceptor.async_accept(asio::make_strand(r.io), [this, &r](const std::error_code& error,
                                                                     asio::ip::tcp::socket socket) {
            if (!r.acceptor.is_open()) {
                return;
            }
            if (!error) {
                r.manager.start(std::make_shared<Connection>(std::move(socket), r.manager,
                                                             *r.dispatcher, frameLimit));
            }
            accept();
        });
    }
};

Server::Server(std::string dbUrl, std::string listen, std::size_t frameLimit)
    : impl_(std::make_unique<Impl>()) {
    impl_->url = std::move(dbUrl);
    impl_->address = splitAddress(listen);
    impl_->frameLimit = frameLimit;
}

Server::~Server() {
    stop();
}

void Server::start() {
    std::lock_guard lock(impl_->mutex);
    if (impl_->run) {
        return;
    }
    auto run = std::make_unique<Run>();
    run->service = std::make_unique<PriceService>(openInitialisedStore(impl_->url));
    run->dispatcher = std::make_unique<Dispatcher>(*run->service);
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
        run->acceptor.open(endpoint.protocol());
        // A restart finds the port's old connections in TIME_WAIT; they must not stop it.
        run->acceptor.set_option(asio::ip::tcp::acceptor::reuse_address(true));
        run->acceptor.bind(endpoint);
        run->acceptor.listen();
    } catch (const std::system_error& e) {
        throw std::runtime_error("Não foi possível escutar em " + where + ": " +
                                 e.code().message());
    }
    impl_->boundPort = run->acceptor.local_endpoint().port();
    impl_->run = std::move(run);
    impl_->accept();
    const unsigned cores = std::thread::hardware_concurrency();
    const unsigned threads = cores < 2 ? 2 : (cores > 4 ? 4 : cores);
    for (unsigned i = 0; i < threads; ++i) {
        impl_->run->threads.emplace_back([io = &impl_->run->io] { io->run(); });
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
        r.manager.stopAll();
        r.acceptorClosed = true;
    });
    // Answers in flight get a few seconds to reach their clients; a peer that does not
    // read its answer must not keep the server from stopping.
    for (int i = 0; i < 100 && !(r.acceptorClosed && r.manager.size() == 0); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    r.manager.closeAll();
    for (std::thread& t : r.threads) {
        t.join();
    }
    impl_->run.reset();  // closes the database
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
        return impl_->run->service->countRules();
    }
    lock.unlock();
    return openStore(impl_->url)->countRules();
}

void initDatabase(const std::string& url, bool demo, int products) {
    auto store = openStore(url);
    store->createSchema();
    if (demo) {
        store->replaceReferenceData(demo::makeDataSet(products));
    }
}

}  // namespace server
