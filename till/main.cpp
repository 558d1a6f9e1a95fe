// vnd-till: a till's replica of its branch's prices, kept in step with the server.

#include <atomic>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "till/TillCommands.h"

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void requestStop(int) {
    stopRequested = true;
}

}  // namespace

int main(int argc, char** argv) {
    static_assert(std::atomic<bool>::is_always_lock_free);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGTERM, requestStop);
    std::signal(SIGINT, requestStop);
    std::vector<std::string> args(argv + 1, argv + argc);
    return till::runTill(args, std::cout, std::cerr, stopRequested);
}
