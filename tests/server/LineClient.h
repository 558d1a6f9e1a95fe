#pragma once
// A test client of the wire protocol over loopback TCP, optionally TLS, whose every wait
// is bounded so that a server that misbehaves fails the test instead of hanging it.

#include <chrono>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "protocol/Asio.h"

namespace testdb {

class LineClient {
public:
    /// Connects to 127.0.0.1:port; with caFile, speaks TLS and trusts that CA only.
    explicit LineClient(unsigned short port, const std::string& caFile = {})
        : tlsContext_(asio::ssl::context::tls_client), stream_(io_, tlsContext_),
          tls_(!caFile.empty()) {
        socket().connect({asio::ip::make_address("127.0.0.1"), port});
        if (tls_) {
            tlsContext_.load_verify_file(caFile);
            stream_.set_verify_mode(asio::ssl::verify_peer);
            stream_.set_verify_callback(asio::ssl::host_name_verification("127.0.0.1"));
            stream_.handshake(asio::ssl::stream_base::client);
        }
    }

    asio::ip::tcp::socket& socket() { return stream_.next_layer(); }

    /// Sends raw bytes; false when the server already closed the connection.
    bool send(const std::string& bytes) {
        std::error_code error;
        if (tls_) {
            asio::write(stream_, asio::buffer(bytes), error);
        } else {
            asio::write(socket(), asio::buffer(bytes), error);
        }
        return !error;
    }

    /// The next answer line, or nullopt when the connection ended or nothing came in time.
    std::optional<nlohmann::json> receive(std::chrono::seconds wait = std::chrono::seconds(30)) {
        std::optional<std::string> line = receiveLine(wait);
        if (!line) {
            return std::nullopt;
        }
        return nlohmann::json::parse(*line);
    }

    std::optional<std::string> receiveLine(std::chrono::seconds wait = std::chrono::seconds(30)) {
        const auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            const auto nl = buffer_.find('\n');
            if (nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return line;
            }
            if (closed_) {
                return std::nullopt;
            }
            std::array<char, 65536> chunk{};
            std::error_code error;
            std::size_t n = 0;
            bool done = false;
            auto handler = [&](const std::error_code& e, std::size_t bytes) {
                error = e;
                n = bytes;
                done = true;
            };
            if (tls_) {
                stream_.async_read_some(asio::buffer(chunk), handler);
            } else {
                socket().async_read_some(asio::buffer(chunk), handler);
            }
            io_.restart();
            io_.run_until(deadline);
            if (!done) {
                std::error_code ignored;
                socket().cancel(ignored);
                io_.restart();
                io_.run();
                return std::nullopt;
            }
            if (error) {
                closed_ = true;
            }
            buffer_.append(chunk.data(), n);
        }
    }

    /// True when the server ends the connection within the wait (nothing else arrives).
    bool closedByServer(std::chrono::seconds wait = std::chrono::seconds(30)) {
        while (receiveLine(wait)) {
        }
        return closed_;
    }

    nlohmann::json call(const std::string& method, const nlohmann::json& params) {
        send(nlohmann::json{{"jsonrpc", "2.0"},
                            {"id", ++id_},
                            {"method", method.find('.') == std::string::npos
                                           ? "Vnd42400.rdmTabePreco." + method
                                           : method},
                            {"params", params}}
                 .dump() +
             "\n");
        return receive().value_or(nlohmann::json());
    }

private:
    asio::io_context io_;
    asio::ssl::context tlsContext_;
    asio::ssl::stream<asio::ip::tcp::socket> stream_;
    bool tls_;
    bool closed_ = false;
    std::string buffer_;
    int id_ = 0;
};

}  // namespace testdb
