// Writes the host's local database with N demo products: vnd-bench-localdb FILE N

#include <cstdio>
#include <string>

#include "demodata/LocalDatabase.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: vnd-bench-localdb FILE PRODUCTS\n");
        return 2;
    }
    demo::writeLocalDatabase(argv[1], std::stoi(argv[2]));
    return 0;
}
