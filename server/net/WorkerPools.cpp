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
    return std::clamp(2 * std::thread::hardware_concurrency(), 4u, 16u);
}

}  // namespace

WorkerPools::WorkerPools(const ServerOptions& options) : lookups_(lookupThreads(options)) {}

void WorkerPools::join() {
    lookups_.join();
    stores_.join();
}

}  // namespace server
