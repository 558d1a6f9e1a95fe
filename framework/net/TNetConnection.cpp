#include "net/TNetConnection.h"

#include <array>
#include <chrono>
#include <stdexcept>

#include <asio.hpp>

#include "forms/Application.h"
#include "protocol/JsonRpc.h"
#include "protocol/LineFramer.h"
#include "protocol/ValueCodec.h"

namespace vol {

namespace {

// A server that does not answer must not freeze the screen for ever; a rule for many
// products may take a while, so the answer gets much longer than the connection.
constexpr auto kConnectTimeout = std::chrono::seconds(10);
constexpr auto kCallTimeout = std::chrono::seconds(300);

}  // namespace

struct TNetConnection::Impl {
    asio::io_context io;
    asio::ip::tcp::socket socket{io};
    wire::LineFramer framer;
    std::string lastError;
    long long nextId = 1;

    std::string where(const TNetConnection& c) const {
        return c.Host + ":" + std::to_string(c.Port);
    }

    // Runs the asynchronous operation started on io until it completes or the time is
    // up; a late operation is cancelled by closing the socket. True when it completed.
    bool runFor(std::chrono::steady_clock::duration timeout, const bool& done) {
        io.restart();
        io.run_for(timeout);
        if (done) {
            return true;
        }
        std::error_code ignored;
        socket.close(ignored);
        io.restart();
        io.run();
        return false;
    }

    void close() {
        std::error_code ignored;
        socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        socket.close(ignored);
        framer = wire::LineFramer();
    }

    // A connection whose server went away since the last call has its end-of-stream (or a
    // reset) waiting; seeing it here lets the call reconnect instead of failing once.
    bool peerGone() {
        std::error_code error;
        socket.non_blocking(true, error);
        char byte = 0;
        const std::size_t n = socket.receive(asio::buffer(&byte, 1),
                                             asio::ip::tcp::socket::message_peek, error);
        std::error_code ignored;
        socket.non_blocking(false, ignored);
        if (error == asio::error::would_block || error == asio::error::try_again) {
            return false;
        }
        return error || n == 0;
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
    bool done = false;
    try {
        asio::ip::tcp::resolver resolver(impl_->io);
        const auto endpoints = resolver.resolve(Host, std::to_string(Port), error);
        if (!error) {
            asio::async_connect(impl_->socket, endpoints,
                                [&](const std::error_code& e, const asio::ip::tcp::endpoint&) {
                                    error = e;
                                    done = true;
                                });
            if (!impl_->runFor(kConnectTimeout, done)) {
                error = asio::error::timed_out;
            }
        }
    } catch (const std::system_error& e) {
        error = e.code();
    }
    if (error) {
        impl_->close();
        impl_->lastError = "Não foi possível conectar ao servidor de aplicação " +
                           impl_->where(*this) + ": " + error.message();
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

bool TNetConnection::Connected() const {
    return impl_->socket.is_open();
}

const std::string& TNetConnection::LastError() const {
    return impl_->lastError;
}

wire::CallResult TNetConnection::Call(const std::string& method,
                                      const std::vector<wire::Value>& args) {
    auto broken = [&](const std::string& text) {
        impl_->close();
        impl_->lastError = text;
        if (ThrowException) {
            throw std::runtime_error(text);
        }
        return wire::CallResult::failure(wire::rpc::kTransportError, text);
    };

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
    const std::string line =
        wire::encodeRequest(id, ServerName + "." + method, params) + "\n";
    Application::instance().notifyRemoteCall(method, wire::dumpJson(params));

    std::error_code error;
    bool done = false;
    asio::async_write(impl_->socket, asio::buffer(line), [&](const std::error_code& e, std::size_t) {
        error = e;
        done = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + kCallTimeout;
    if (!impl_->runFor(kCallTimeout, done)) {
        error = asio::error::timed_out;
    }
    if (error) {
        return broken("A conexão com o servidor de aplicação " + impl_->where(*this) +
                      " foi interrompida: " + error.message());
    }

    std::array<char, 16384> buffer{};
    for (;;) {
        std::size_t bytes = 0;
        done = false;
        impl_->socket.async_read_some(asio::buffer(buffer),
                                      [&](const std::error_code& e, std::size_t n) {
                                          error = e;
                                          bytes = n;
                                          done = true;
                                      });
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero() || !impl_->runFor(left, done)) {
            return broken("O servidor de aplicação " + impl_->where(*this) +
                          " não respondeu a tempo.");
        }
        if (error) {
            return broken("A conexão com o servidor de aplicação " + impl_->where(*this) +
                          " foi interrompida: " + error.message());
        }
        for (const wire::Frame& frame : impl_->framer.feed(std::string_view(buffer.data(), bytes))) {
            if (frame.kind == wire::Frame::Kind::Oversized) {
                return broken("Resposta do servidor de aplicação " + impl_->where(*this) +
                              " maior que o limite.");
            }
            // One call is in flight at a time, so the first line is its answer; an error
            // answer may carry a null id when the server could not read the request.
            wire::CallResult result = wire::parseResponse(frame.text, id);
            impl_->lastError = result.ok ? std::string() : result.errorMessage;
            return result;
        }
    }
}

}  // namespace vol
