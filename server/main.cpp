// vnd-server: the application server of the differentiated-price screen.

#include <iostream>
#include <string>
#include <vector>

#include "Commands.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return server::runCommand(args, std::cout, std::cerr);
}
