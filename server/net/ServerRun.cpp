#include "server/net/ServerRun.h"

#include <future>
#include <stdexcept>
#include <thread>

#include "server/net/ServerOptions.h"
#include "server/ops/Metrics.h"

namespace server {

ServerRun::ServerRun(const std::string& url, const std::string& host, const std::string& port,
                     const ServerOptions& options, Log& log)
    : options_(options),
      acceptor_(loops_, manager_, options, log),
      tls_(options),
      database_(url, options, log, waiters_),
      watch_(ServerDatabase::openWatchStore(url, options), waiters_, database_.held(),
             options.changeLogDays, log),
      dispatcher_(database_.reads(), database_.writes(), options.rpc()),
      workers_(options),
      context_{manager_,        dispatcher_,    workers_.lookups(), workers_.stores(),
               waiters_,        tls_.context(), tls_.enabled(),     options} {
    acceptor_.listen(host, port);
}

void ServerRun::serve() {
    options_.metrics->watchConnections([&manager = manager_] { return manager.size(); });
    acceptor_.start(context_);
    loops_.run();
}

void ServerRun::stop() {
    acceptor_.close();
    using Clock = std::chrono::steady_clock;
    auto waitUntil = [this](Clock::time_point until) {
        while (!(acceptor_.closed() && manager_.size() == 0) && Clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return acceptor_.closed() && manager_.size() == 0;
    };
    // Idle connections end at once; a call under way has the grace period to finish and
    // send its answer (a store that commits is answered, never cut off).
    if (!waitUntil(Clock::now() + options_.shutdownGrace)) {
        // What still runs is abandoned: its transaction is rolled back and its client
        // told so, in the few seconds the answers get to go out.
        database_.interrupt();
        waitUntil(Clock::now() + std::chrono::seconds(2));
    }
    manager_.closeAll();
    // Every call has ended or been abandoned, so this does not wait for the database.
    workers_.join();
    loops_.finish();  // each loop ends once its last connection is gone
    options_.metrics->watchConnections({});
}

void ServerRun::reload(const std::optional<std::string>& token) {
    if (tls_.enabled()) {
        TlsContext::check(options_);
    }
    if (token && token->empty()) {
        throw std::runtime_error("O novo token de acesso está vazio; o anterior continua valendo.");
    }
    // The dispatcher alone holds the token in force; the options keep the one the
    // server started with, read by connections without a lock (only whether it is
    // empty, which a reload never changes).
    if (token) {
        dispatcher_.setToken(*token);
    }
    if (!tls_.enabled()) {
        return;
    }
    // Changed where connections are made, so that none is being made from it meanwhile.
    std::promise<void> done;
    acceptor_.post([&] {
        try {
            tls_.reload();
            done.set_value();
        } catch (...) {
            done.set_exception(std::current_exception());
        }
    });
    done.get_future().get();
}

}  // namespace server
