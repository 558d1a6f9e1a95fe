#include "server/ops/MetricsEndpoint.h"

#include <stdexcept>
#include <thread>

#include "protocol/Asio.h"

namespace server {

namespace {

std::string reply(int status, const char* reason, const std::string& contentType,
                  const std::string& body, bool withBody) {
    return "HTTP/1.0 " + std::to_string(status) + ' ' + reason +
           "\r\nContent-Type: " + contentType + "\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" +
           (withBody ? body : std::string());
}

constexpr std::size_t kLongestHead = 8192;

// One exchange: read the head, answer, close. The timer ends a peer that sends nothing.
struct Exchange : std::enable_shared_from_this<Exchange> {
    Exchange(asio::ip::tcp::socket s, const MetricsEndpoint::Page& m,
             const MetricsEndpoint::Health& h)
        : socket(std::move(s)), timer(socket.get_executor()), metrics(m), health(h) {}

    void start() {
        timer.expires_after(std::chrono::seconds(5));
        timer.async_wait([self = shared_from_this()](const std::error_code& e) {
            if (!e) {
                std::error_code ignored;
                self->socket.close(ignored);
            }
        });
        asio::async_read_until(socket, asio::dynamic_buffer(head, kLongestHead), "\r\n\r\n",
                               [self = shared_from_this()](const std::error_code& e, std::size_t) {
                                   self->respond(e);
                               });
    }

    void respond(const std::error_code& error) {
        if (error && error != asio::error::not_found) {
            timer.cancel();
            return;
        }
        out = error ? reply(431, "Request Header Fields Too Large", "text/plain", "", false)
                    : MetricsEndpoint::answer(head, metrics, health);
        asio::async_write(socket, asio::buffer(out),
                          [self = shared_from_this()](const std::error_code&, std::size_t) {
                              std::error_code ignored;
                              self->socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
                              self->socket.close(ignored);
                              self->timer.cancel();
                          });
    }

    asio::ip::tcp::socket socket;
    asio::steady_timer timer;
    const MetricsEndpoint::Page& metrics;
    const MetricsEndpoint::Health& health;
    std::string head;
    std::string out;
};

}  // namespace

struct MetricsEndpoint::Impl {
    Page metrics;
    Health health;
    asio::io_context io{1};
    asio::ip::tcp::acceptor acceptor{io};
    std::thread thread;

    void accept() {
        acceptor.async_accept([this](const std::error_code& error, asio::ip::tcp::socket socket) {
            if (!acceptor.is_open()) {
                return;
            }
            if (!error) {
                std::make_shared<Exchange>(std::move(socket), metrics, health)->start();
            }
            accept();
        });
    }
};

MetricsEndpoint::MetricsEndpoint(const std::string& listen, Page metrics, Health health)
    : impl_(std::make_unique<Impl>()) {
    impl_->metrics = std::move(metrics);
    impl_->health = std::move(health);
    const auto colon = listen.rfind(':');
    std::string host = colon == std::string::npos ? "" : listen.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    try {
        if (colon == std::string::npos || host.empty()) {
            throw std::invalid_argument("use HOST:PORTA");
        }
        asio::ip::tcp::resolver resolver(impl_->io);
        const auto endpoint = resolver.resolve(host, listen.substr(colon + 1))->endpoint();
        impl_->acceptor.open(endpoint.protocol());
        impl_->acceptor.set_option(asio::ip::tcp::acceptor::reuse_address(true));
        impl_->acceptor.bind(endpoint);
        impl_->acceptor.listen();
    } catch (const std::system_error& e) {
        throw std::runtime_error("Não foi possível servir as métricas em " + listen + ": " +
                                 e.code().message());
    } catch (const std::invalid_argument& e) {
        throw std::runtime_error("Endereço de métricas inválido: \"" + listen + "\" (" +
                                 e.what() + ").");
    }
    impl_->accept();
    impl_->thread = std::thread([io = &impl_->io] { io->run(); });
}

MetricsEndpoint::~MetricsEndpoint() {
    asio::post(impl_->io, [impl = impl_.get()] {
        std::error_code ignored;
        impl->acceptor.close(ignored);
    });
    // An exchange under way has at most its few seconds left; stopping the loop ends it.
    impl_->io.stop();
    impl_->thread.join();
}

unsigned short MetricsEndpoint::port() const {
    return impl_->acceptor.local_endpoint().port();
}

std::string MetricsEndpoint::answer(std::string_view head, const Page& metrics,
                                    const Health& health) {
    const auto lineEnd = head.find("\r\n");
    const std::string_view line = head.substr(0, lineEnd);
    const auto firstSpace = line.find(' ');
    const auto secondSpace = line.find(' ', firstSpace + 1);
    if (firstSpace == std::string_view::npos || secondSpace == std::string_view::npos) {
        return reply(400, "Bad Request", "text/plain", "bad request\n", true);
    }
    const std::string_view method = line.substr(0, firstSpace);
    std::string_view target = line.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    target = target.substr(0, target.find('?'));
    if (method != "GET" && method != "HEAD") {
        return reply(405, "Method Not Allowed", "text/plain", "method not allowed\n", true);
    }
    const bool body = method == "GET";
    if (target == "/metrics") {
        return reply(200, "OK", "text/plain; version=0.0.4; charset=utf-8", metrics(), body);
    }
    if (target == "/healthz") {
        const std::string problem = health();
        return problem.empty() ? reply(200, "OK", "text/plain", "ok\n", body)
                               : reply(503, "Service Unavailable", "text/plain; charset=utf-8",
                                       problem + "\n", body);
    }
    return reply(404, "Not Found", "text/plain", "not found\n", body);
}

}  // namespace server
