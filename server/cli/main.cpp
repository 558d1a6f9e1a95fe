// vnd-server: the application server of the differentiated-price screen.

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "server/cli/Commands.h"

int main(int argc, char** argv) {
    // A log pipe that went away must not kill the server mid-shutdown: a write to it
    // then fails instead of raising SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> args(argv + 1, argv + argc);
    return server::runCommand(args, std::cout, std::cerr);
}
