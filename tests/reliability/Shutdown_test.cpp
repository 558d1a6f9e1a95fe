// The server stops cleanly on SIGTERM and SIGINT: it answers what it was asked, exits 0
// and leaves its database free for the next start.

#include <csignal>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "ServerProcess.h"
#include "protocol/Asio.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"

namespace {

class Shutdown : public testing::TestWithParam<int> {};

TEST_P(Shutdown, AnswersThenExitsCleanlyAndFreesTheDatabase) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("vnd-shutdown-" + std::to_string(::getpid()) + "-" + std::to_string(GetParam()) + ".db"))
                                 .string();
    const std::string url = "sqlite:" + path;
    server::initDatabase(url, true, 20);
    {
        reliability::ServerProcess process(VND_SERVER_BINARY, url);
        asio::io_context io;
        asio::ip::tcp::socket socket(io);
        socket.connect({asio::ip::make_address("127.0.0.1"), process.port()});
        const std::string request =
            R"({"jsonrpc":"2.0","id":1,"method":"Vnd42400.rdmTabePreco.GetFilial","params":["0001",""]})" "\n";
        asio::write(socket, asio::buffer(request));
        std::string answer;
        asio::read_until(socket, asio::dynamic_buffer(answer), '\n');
        EXPECT_NE(answer.find("Loja Centro"), std::string::npos) << answer;
        EXPECT_EQ(process.stop(GetParam()), 0);
    }
    // Nothing of the stopped server holds the database: another server opens and stores.
    server::Server again(url, "127.0.0.1:0");
    again.start();
    EXPECT_EQ(again.countRules(), 0);
    again.stop();
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
}

INSTANTIATE_TEST_SUITE_P(Signals, Shutdown, testing::Values(SIGTERM, SIGINT),
                         [](const testing::TestParamInfo<int>& p) { return p.param == SIGTERM ? "SIGTERM" : "SIGINT"; });

}  // namespace
