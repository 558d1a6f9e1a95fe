#include "server/net/WorkerPools.h"

#include <algorithm>
#include <thread>

#include "server/net/ServerOptions.h"

namespace server {

namespace {

unsigned lookupThreads(const ServerOptions& options) {
    if (options.workerThreads != 0) {
        return options.workerThreads;
    }
    // A thread waiting for a free reading connection does no work either: each
    // connection keeps a thread busy and one to spare.
    return std::max(std::clamp(2 * std::thread::hardware_concurrency(), 4u, 16u),
                    2 * options.readConnectionCount());
}

}  // namespace

WorkerPools::WorkerPools(const ServerOptions& options) : lookups_(lookupThreads(options)) {}

void WorkerPools::join() {
    lookups_.join();
    stores_.join();
}

}  // namespace server
