#include "net/TNetConnection.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <stdexcept>

#include <poll.h>
#include <sys/socket.h>

#include "forms/Application.h"
#include "net/NetFailure.h"
#include "net/Workstation.h"
#include "protocol/AnswerReader.h"
#include "protocol/Asio.h"
#include "protocol/JsonRpc.h"
#include "protocol/LineFramer.h"
#include "protocol/ValueCodec.h"

namespace vol {

namespace {

using Clock = std::chrono::steady_clock;
using Stream = asio::ssl::stream<asio::ip::tcp::socket>;

// An answer is bounded like a request: a server gone wrong must not fill the host's
// memory.
constexpr std::size_t kAnswerLimit = wire::kDefaultFrameLimit;
// How long a wait runs before the application is told that a call is still waiting.
constexpr std::chrono::milliseconds kWaitSlice{40};

}  // namespace

struct TNetConnection::Impl {
    asio::io_context io;
    asio::ssl::context tls{asio::ssl::context::tls_client};
    std::string tlsAuthority;  // the CA file tls was loaded with
    std::unique_ptr<Stream> stream = std::make_unique<Stream>(io, tls);
    bool useTls = false;
    wire::LineFramer framer{kAnswerLimit};
    std::string lastError;
    bool lastCallTimedOut = false;
    long long nextId = 1;
    std::vector<char> readBuffer = std::vector<char>(64 * 1024);  // one read's bytes
    std::string answerLine;  // the last answer, its room kept for the next

    asio::ip::tcp::socket& socket() { return stream->next_layer(); }

    std::string where(const TNetConnection& c) const {
        return c.Host + ":" + std::to_string(c.Port);
    }

    // Runs the asynchronous operation started on io until it completes or the time is
    // up; a late operation is cancelled by closing the socket. True when it completed.
    // While it waits, the application is told now and then, so a view can keep its
    // progress animation moving; a quick answer never gets that far.
    bool runFor(Clock::duration timeout, const bool& done) {
        const auto deadline = Clock::now() + timeout;
        for (bool first = true; !done; first = false) {
            const auto now = Clock::now();
            if (now >= deadline) break;
            if (!first) Application::instance().whileWaiting();
            io.restart();
            io.run_for(std::min<Clock::duration>(deadline - now, kWaitSlice));
        }
        if (done) {
            return true;
        }
        std::error_code ignored;
        socket().close(ignored);
        io.restart();
        io.run();
        return false;
    }

    void close() {
        std::error_code ignored;
        socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        socket().close(ignored);
        framer = wire::LineFramer(kAnswerLimit);
    }

    // A TLS session cannot be reused after its socket closed; every open starts afresh.
    void renew(const NetSettings& settings, const std::string& host) {
        close();
        useTls = !settings.trustedCaFile.empty();
        if (useTls && tlsAuthority != settings.trustedCaFile) {
            tls = asio::ssl::context(asio::ssl::context::tls_client);
            tls.set_options(asio::ssl::context::no_sslv2 | asio::ssl::context::no_sslv3 |
                            asio::ssl::context::no_tlsv1 | asio::ssl::context::no_tlsv1_1);
            tls.load_verify_file(settings.trustedCaFile);  // throws std::system_error
            tlsAuthority = settings.trustedCaFile;
        }
        stream = std::make_unique<Stream>(io, tls);
        if (useTls) {
            stream->set_verify_mode(asio::ssl::verify_peer);
            stream->set_verify_callback(asio::ssl::host_name_verification(host));
        }
    }

    // A connection whose server went away since the last call has its end-of-stream (or a
    // reset) waiting; seeing it here lets the call reconnect instead of failing once.
    // One non-blocking peek, without changing the socket's mode.
    bool peerGone() {
        char byte = 0;
        const ssize_t n = ::recv(socket().native_handle(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            return false;
        }
        return n <= 0;
    }

    // Waits until the plain socket is ready for `events` or the time is up, telling the
    // application now and then as runFor does; a late socket is closed. True when ready
    // (or failed: the next send or read says how).
    bool waitFor(short events, Clock::time_point deadline) {
        for (bool first = true;; first = false) {
            const auto now = Clock::now();
            if (now >= deadline) break;
            if (!first) Application::instance().whileWaiting();
            const auto slice = std::min<Clock::duration>(deadline - now, kWaitSlice);
            const auto ms = std::chrono::ceil<std::chrono::milliseconds>(slice).count();
            pollfd ready{socket().native_handle(), events, 0};
            const int n = ::poll(&ready, 1, static_cast<int>(ms));
            if (n > 0 || (n < 0 && errno != EINTR)) return true;
        }
        std::error_code ignored;
        socket().close(ignored);
        return false;
    }

    static std::string systemFailure() {
        return networkFailureText(std::error_code(errno, asio::error::get_system_category()));
    }

    // Sends one line; a transport failure or the end of the time gives false with
    // `failure` or `late` set. A plain connection writes straight on the socket: one call
    // for a request line, where the event loop adds reads and waits of its own that cost
    // more than a lookup's answer takes to come on one core.
    bool send(const std::string& line, Clock::time_point deadline, std::string& failure,
              bool& late) {
        late = false;
        if (!useTls) {
            std::size_t sent = 0;
            while (sent < line.size()) {
                const ssize_t n = ::send(socket().native_handle(), line.data() + sent,
                                         line.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n >= 0) {
                    sent += static_cast<std::size_t>(n);
                } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
                    if (!waitFor(POLLOUT, deadline)) {
                        late = true;
                        return false;
                    }
                } else if (errno != EINTR) {
                    failure = systemFailure();
                    return false;
                }
            }
            return true;
        }
        std::error_code error;
        bool done = false;
        asio::async_write(*stream, asio::buffer(line), [&](const std::error_code& e, std::size_t) {
            error = e;
            done = true;
        });
        if (!runFor(deadline - Clock::now(), done)) {
            late = true;
            return false;
        }
        if (error) {
            failure = networkFailureText(error);
            return false;
        }
        return true;
    }

    // Reads what has come, up to the buffer's size; nullopt with `failure` or `late` set
    // for a transport failure (the server's end of the stream among them) or the end of
    // the time.
    std::optional<std::size_t> readSome(Clock::time_point deadline, std::string& failure,
                                        bool& late) {
        if (!useTls) {
            for (;;) {
                if (!waitFor(POLLIN, deadline)) {
                    late = true;
                    return std::nullopt;
                }
                const ssize_t n = ::recv(socket().native_handle(), readBuffer.data(),
                                         readBuffer.size(), MSG_DONTWAIT);
                if (n > 0) return static_cast<std::size_t>(n);
                if (n == 0) {
                    failure = networkFailureText(asio::error::eof);
                    return std::nullopt;
                }
                if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                    failure = systemFailure();
                    return std::nullopt;
                }
            }
        }
        std::error_code error;
        std::size_t bytes = 0;
        bool done = false;
        stream->async_read_some(asio::buffer(readBuffer), [&](const std::error_code& e, std::size_t n) {
            error = e;
            bytes = n;
            done = true;
        });
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero() || !runFor(left, done)) {
            late = true;
            return std::nullopt;
        }
        if (error) {
            failure = networkFailureText(error);
            return std::nullopt;
        }
        return bytes;
    }

    // A page or a price book leaves a line of megabytes: its room is given back once read,
    // as a lookup's is kept.
    void keepAnswerRoomSmall() {
        if (answerLine.capacity() > readBuffer.size()) {
            std::string().swap(answerLine);
        }
    }

    // Sends one line and reads the one answer line (valid until the next exchange); a
    // transport failure or the end of the time gives nullopt with `failure` or `late` set.
    std::optional<std::string_view> exchange(const std::string& line, Clock::time_point deadline,
                                             std::string& failure, bool& late) {
        if (!send(line, deadline, failure, late)) {
            return std::nullopt;
        }
        // Each turn reads something or ends the call: the deadline bounds the waits.
        for (;;) {
            const std::optional<std::size_t> bytes = readSome(deadline, failure, late);
            if (!bytes) {
                return std::nullopt;
            }
            const std::string_view got(readBuffer.data(), *bytes);
            if (framer.pending() == 0 && got.find('\n') == got.size() - 1 &&
                got.size() - 1 <= kAnswerLimit) {
                // The whole answer in one read, as nearly always: copied into the line
                // kept from call to call, whose room is used again, not through the framer.
                answerLine.assign(got.data(), got.size() - 1);
                if (!answerLine.empty() && answerLine.back() == '\r') {
                    answerLine.pop_back();
                }
                return std::string_view(answerLine);
            }
            std::vector<wire::Frame> frames = framer.feed(got);
            if (frames.empty()) {
                continue;
            }
            if (frames.front().kind == wire::Frame::Kind::Oversized) {
                failure = "resposta maior que o limite de " + std::to_string(kAnswerLimit) +
                          " bytes";
                return std::nullopt;
            }
            // One call is in flight at a time: anything after its answer is not an answer
            // to anything we asked, and the stream can no longer be trusted.
            if (frames.size() > 1 || framer.pending() > 0) {
                close();
            }
            answerLine = std::move(frames.front().text);
            return std::string_view(answerLine);
        }
    }
};

TNetConnection::TNetConnection(Form& owner, std::string name)
    : Component(&owner, std::move(name)), impl_(std::make_unique<Impl>()) {}

TNetConnection::~TNetConnection() {
    Close();
}

void TNetConnection::Open() {
    Close();
    if (OnBeforeConnect) {
        OnBeforeConnect(*this);
    }
    std::error_code error;
    std::string refusal;
    bool done = false;
    try {
        impl_->renew(Settings, Host);
        asio::ip::tcp::resolver resolver(impl_->io);
        const auto endpoints = resolver.resolve(Host, std::to_string(Port), error);
        const auto deadline = Clock::now() + Settings.connectTimeout;
        if (!error) {
            asio::async_connect(impl_->socket(), endpoints,
                                [&](const std::error_code& e, const asio::ip::tcp::endpoint&) {
                                    error = e;
                                    done = true;
                                });
            if (!impl_->runFor(Settings.connectTimeout, done)) {
                error = asio::error::timed_out;
            }
        }
        if (!error) {
            // Requests are single lines: each goes out at once, not after a delayed ack.
            std::error_code ignored;
            impl_->socket().set_option(asio::ip::tcp::no_delay(true), ignored);
        }
        if (!error && impl_->useTls) {
            done = false;
            impl_->stream->async_handshake(asio::ssl::stream_base::client,
                                           [&](const std::error_code& e) {
                                               error = e;
                                               done = true;
                                           });
            if (!impl_->runFor(deadline - Clock::now(), done)) {
                error = asio::error::timed_out;
            }
        }
        if (!error && !Settings.token.empty()) {
            const long long id = impl_->nextId++;
            std::string failure;
            bool late = false;
            const auto answer = impl_->exchange(
                wire::encodeRequest(id, "rpc.auth", nlohmann::json::array({Settings.token})) +
                    "\n",
                deadline, failure, late);
            if (!answer) {
                refusal = late ? "o servidor não respondeu à autenticação a tempo" : failure;
            } else if (const auto result = wire::parseResponse(*answer, id); !result.ok) {
                refusal = "autenticação recusada: " + result.errorMessage;
            }
        }
        if (!error && refusal.empty()) {
            // Who is calling, for the changes this connection makes: a notification, so
            // that no call waits for it and nothing is read for it.
            const Workstation& self = Workstation::current();
            std::string failure;
            bool late = false;
            if (!impl_->send(wire::encodeNotification(
                                 wire::kHelloMethod,
                                 {{"user", self.user}, {"station", self.host}}) +
                                 "\n",
                             deadline, failure, late)) {
                refusal = late ? "o servidor não recebeu a identificação a tempo" : failure;
            }
        }
    } catch (const std::system_error& e) {
        error = e.code();
    }
    if (error || !refusal.empty()) {
        impl_->close();
        impl_->lastError =
            connectFailureMessage(impl_->where(*this), error ? networkFailureText(error) : refusal);
        if (ThrowException) {
            throw std::runtime_error(impl_->lastError);
        }
        return;
    }
    impl_->lastError.clear();
}

void TNetConnection::Close() {
    impl_->close();
}

bool TNetConnection::LastCallTimedOut() const {
    return impl_->lastCallTimedOut;
}

std::string TNetConnection::Where() const {
    return impl_->where(*this);
}

bool TNetConnection::Connected() const {
    return impl_->socket().is_open();
}

const std::string& TNetConnection::LastError() const {
    return impl_->lastError;
}

wire::CallResult TNetConnection::Call(const std::string& method,
                                      const std::vector<wire::Value>& args,
                                      std::optional<wire::DataPacket>* rows) {
    auto broken = [&](const std::string& text) {
        impl_->close();
        impl_->lastError = text;
        if (ThrowException) {
            throw std::runtime_error(text);
        }
        return wire::CallResult::failure(wire::rpc::kTransportError, text);
    };
    impl_->lastCallTimedOut = false;
    if (rows != nullptr) {
        rows->reset();
    }

    nlohmann::json params = nlohmann::json::array();
    for (const wire::Value& arg : args) {
        params.push_back(wire::toJson(arg));
    }
    if (Connected() && impl_->peerGone()) {
        impl_->close();
    }
    if (!Connected()) {
        Open();  // throws itself when asked to
        if (!Connected()) {
            return wire::CallResult::failure(wire::rpc::kTransportError, impl_->lastError);
        }
    }

    const long long id = impl_->nextId++;
    const std::string line = wire::encodeRequest(id, ServerName + "." + method, params) + "\n";
    if (Application::instance().observesRemoteCalls()) {
        Application::instance().notifyRemoteCall(method, wire::dumpJson(params));
    }

    std::string failure;
    bool late = false;
    const auto answer =
        impl_->exchange(line, Clock::now() + Settings.callTimeout, failure, late);
    if (!answer) {
        // A late answer leaves the request with the server, which may still carry it out.
        impl_->lastCallTimedOut = late;
        return broken(late ? "O servidor de aplicação " + impl_->where(*this) +
                                 " não respondeu a tempo."
                           : "A conexão com o servidor de aplicação " + impl_->where(*this) +
                                 " foi interrompida: " + failure);
    }
    wire::CallResult result = wire::readAnswer(*answer, id, rows);
    impl_->keepAnswerRoomSmall();
    if (!result.ok && result.errorCode == wire::rpc::kParseError) {
        // The server could not read our line, or we could not read its answer: either
        // way the stream is out of step, and the next call starts on a fresh one.
        impl_->close();
        if (result.errorMessage.rfind("Resposta inválida", 0) == 0) {
            result.errorMessage = "Resposta inválida do servidor de aplicação " +
                                  impl_->where(*this) +
                                  result.errorMessage.substr(
                                      std::string_view("Resposta inválida do servidor de "
                                                       "aplicação")
                                          .size());
        }
    }
    impl_->lastError = result.ok ? std::string() : result.errorMessage;
    return result;
}

}  // namespace vol
