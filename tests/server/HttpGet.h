#pragma once
// A plain HTTP/1.0 GET on loopback for the tests of /metrics and /healthz, bounded in time.

#include <array>
#include <chrono>
#include <functional>
#include <string>

#include "protocol/Asio.h"

namespace testdb {

/// The status code and body of GET path on 127.0.0.1:port (status 0: no answer).
struct HttpAnswer {
    int status = 0;
    std::string body;
};

inline HttpAnswer httpGet(unsigned short port, const std::string& path) {
    asio::io_context io;
    asio::ip::tcp::socket socket(io);
    std::string text;
    std::array<char, 4096> chunk{};
    bool done = false;
    std::function<void()> readMore = [&] {
        socket.async_read_some(asio::buffer(chunk), [&](std::error_code r, std::size_t n) {
            text.append(chunk.data(), n);
            if (r) {
                done = true;
                return;
            }
            readMore();
        });
    };
    socket.async_connect({asio::ip::make_address("127.0.0.1"), port}, [&](std::error_code e) {
        if (e) {
            done = true;
            return;
        }
        const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        asio::write(socket, asio::buffer(request), e);
        readMore();
    });
    io.run_for(std::chrono::seconds(20));
    HttpAnswer answer;
    if (!done || text.rfind("HTTP/1.0 ", 0) != 0) {
        return answer;
    }
    answer.status = std::stoi(text.substr(9, 3));
    const auto body = text.find("\r\n\r\n");
    answer.body = body == std::string::npos ? "" : text.substr(body + 4);
    return answer;
}

}  // namespace testdb
