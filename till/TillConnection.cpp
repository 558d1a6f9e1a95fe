#include "till/TillConnection.h"

#include <array>

#include "protocol/Asio.h"
#include "protocol/JsonRpc.h"
#include "protocol/LineFramer.h"
#include "protocol/NetFailure.h"
#include "till/LinkDown.h"

namespace till {

namespace {

using Clock = std::chrono::steady_clock;
using Stream = asio::ssl::stream<asio::ip::tcp::socket>;

constexpr const char* kObject = "Vnd42400.rdmTabePreco.";
// How often a waiting call looks at its stop flag.
constexpr std::chrono::milliseconds kSlice{50};

// Why a run of the io context ended.
enum class Ran { Done, Late, Stopped };

}  // namespace

struct TillConnection::Impl {
    std::string host;
    int port;
    wire::NetSettings settings;
    asio::io_context io;
    std::unique_ptr<asio::ssl::context> tls;
    std::unique_ptr<Stream> stream;
    wire::LineFramer framer;
    long long nextId = 1;

    bool useTls() const { return !settings.trustedCaFile.empty(); }
    asio::ip::tcp::socket& socket() { return stream->next_layer(); }
    std::string where() const { return host + ":" + std::to_string(port); }

    // Runs the started operation until it completes, the deadline passes or stop is set;
    // a late or stopped operation is cancelled by closing the socket.
    Ran run(Clock::time_point deadline, const bool& done, const std::atomic<bool>* stop) {
        while (!done) {
            const auto now = Clock::now();
            const bool stopped = stop != nullptr && stop->load();
            if (now >= deadline || stopped) {
                close();
                return stopped ? Ran::Stopped : Ran::Late;
            }
            io.restart();
            io.run_for(std::min<Clock::duration>(deadline - now, kSlice));
        }
        return Ran::Done;
    }

    void close() {
        if (stream) {
            std::error_code ignored;
            socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
            socket().close(ignored);
            io.restart();
            io.run();  // lets the cancelled handlers run before their locals go
            stream.reset();
        }
        framer = wire::LineFramer();
    }

    [[noreturn]] void down(const std::string& reason) {
        close();
        throw LinkDown(wire::connectFailureMessage(where(), reason));
    }

    void open(Clock::time_point deadline) {
        try {
            if (useTls() && !tls) {
                tls = std::make_unique<asio::ssl::context>(asio::ssl::context::tls_client);
                tls->set_options(asio::ssl::context::no_sslv2 | asio::ssl::context::no_sslv3 |
                                 asio::ssl::context::no_tlsv1 | asio::ssl::context::no_tlsv1_1);
                tls->load_verify_file(settings.trustedCaFile);
            }
        } catch (const std::system_error& e) {
            tls.reset();
            down(wire::networkFailureText(e.code()));
        }
        if (!tls) {
            tls = std::make_unique<asio::ssl::context>(asio::ssl::context::tls_client);
        }
        stream = std::make_unique<Stream>(io, *tls);
        if (useTls()) {
            stream->set_verify_mode(asio::ssl::verify_peer);
            stream->set_verify_callback(asio::ssl::host_name_verification(host));
        }
        std::error_code error;
        asio::ip::tcp::resolver resolver(io);
        const auto endpoints = resolver.resolve(host, std::to_string(port), error);
        bool done = false;
        if (!error) {
            asio::async_connect(socket(), endpoints,
                                [&](const std::error_code& e, const asio::ip::tcp::endpoint&) {
                                    error = e;
                                    done = true;
                                });
            if (run(deadline, done, nullptr) != Ran::Done) {
                error = asio::error::timed_out;
            }
        }
        if (!error) {
            std::error_code ignored;
            socket().set_option(asio::ip::tcp::no_delay(true), ignored);
            // A long wait on a link that died without a word ends by the kernel's probes
            // rather than by the call's whole timeout.
            socket().set_option(asio::socket_base::keep_alive(true), ignored);
        }
        if (!error && useTls()) {
            done = false;
            stream->async_handshake(asio::ssl::stream_base::client, [&](const std::error_code& e) {
                error = e;
                done = true;
            });
            if (run(deadline, done, nullptr) != Ran::Done) {
                error = asio::error::timed_out;
            }
        }
        if (error) {
            down(wire::networkFailureText(error));
        }
        if (!settings.token.empty()) {
            const long long id = nextId++;
            const auto answer = exchange(
                wire::encodeRequest(id, "rpc.auth", nlohmann::json::array({settings.token})),
                deadline, nullptr);
            if (const auto result = wire::parseResponse(*answer, id); !result.ok) {
                down("autenticação recusada: " + result.errorMessage);
            }
        }
    }

    // Whether an operation run to its end succeeded: false when it was stopped; throws
    // LinkDown when it was late or failed.
    bool finished(Ran ran, const std::error_code& error) {
        if (ran == Ran::Stopped) {
            return false;
        }
        if (ran == Ran::Late) {
            down("tempo de espera esgotado");
        }
        if (error) {
            down(wire::networkFailureText(error));
        }
        return true;
    }

    // Sends one line and reads the one answer line; nullopt when stopped.
    std::optional<std::string> exchange(const std::string& line, Clock::time_point deadline,
                                        const std::atomic<bool>* stop) {
        const std::string framed = line + "\n";
        std::error_code error;
        bool done = false;
        auto written = [&](const std::error_code& e, std::size_t) {
            error = e;
            done = true;
        };
        if (useTls()) {
            asio::async_write(*stream, asio::buffer(framed), written);
        } else {
            asio::async_write(socket(), asio::buffer(framed), written);
        }
        if (!finished(run(deadline, done, stop), error)) {
            return std::nullopt;
        }
        std::array<char, 65536> buffer{};
        for (;;) {
            std::size_t bytes = 0;
            done = false;
            auto read = [&](const std::error_code& e, std::size_t n) {
                error = e;
                bytes = n;
                done = true;
            };
            if (useTls()) {
                stream->async_read_some(asio::buffer(buffer), read);
            } else {
                socket().async_read_some(asio::buffer(buffer), read);
            }
            if (!finished(run(deadline, done, stop), error)) {
                return std::nullopt;
            }
            std::vector<wire::Frame> frames = framer.feed(std::string_view(buffer.data(), bytes));
            if (frames.empty()) {
                continue;
            }
            if (frames.front().kind == wire::Frame::Kind::Oversized) {
                down("resposta maior que o limite de " + std::to_string(framer.limit()) + " bytes");
            }
            // One call is in flight at a time: anything after its answer answers nothing
            // that was asked, and the stream is no longer to be trusted.
            std::string answer = std::move(frames.front().text);
            if (frames.size() > 1 || framer.pending() > 0) {
                close();
            }
            return answer;
        }
    }
};

TillConnection::TillConnection(std::string host, int port, wire::NetSettings settings)
    : impl_(std::make_unique<Impl>()) {
    impl_->host = std::move(host);
    impl_->port = port;
    impl_->settings = std::move(settings);
}

TillConnection::~TillConnection() {
    impl_->close();
}

std::string TillConnection::where() const {
    return impl_->where();
}

void TillConnection::close() {
    impl_->close();
}

std::optional<nlohmann::json> TillConnection::call(const std::string& method,
                                                   const nlohmann::json& params,
                                                   std::chrono::milliseconds wait,
                                                   const std::atomic<bool>* stop) {
    if (!impl_->stream) {
        impl_->open(Clock::now() + impl_->settings.connectTimeout);
    }
    const long long id = impl_->nextId++;
    const auto deadline = Clock::now() + impl_->settings.callTimeout + wait;
    const auto line = impl_->exchange(wire::encodeRequest(id, kObject + method, params), deadline, stop);
    if (!line) {
        return std::nullopt;
    }
    wire::CallResult result = wire::parseResponse(*line, id);
    if (!result.ok) {
        if (result.errorCode == wire::rpc::kParseError) {
            impl_->down(result.errorMessage);
        }
        throw wire::RpcError(result.errorCode, result.errorMessage);
    }
    if (auto* json = std::get_if<nlohmann::json>(&result.value)) {
        return std::move(*json);
    }
    impl_->down("resposta de " + method + " fora do formato esperado");
}

}  // namespace till
