#include "server/net/SocketLoops.h"

namespace server {

SocketLoops::SocketLoops() {
    for (int i = 0; i < kSocketThreads; ++i) {
        loops_.push_back(std::make_unique<asio::io_context>(1));
    }
}

SocketLoops::~SocketLoops() {
    finish();
}

asio::io_context& SocketLoops::next() {
    return *loops_[next_++ % loops_.size()];
}

void SocketLoops::run() {
    for (auto& loop : loops_) {
        keepRunning_.push_back(asio::make_work_guard(*loop));
        threads_.emplace_back([io = loop.get()] { io->run(); });
    }
}

void SocketLoops::finish() {
    keepRunning_.clear();
    for (std::thread& t : threads_) {
        t.join();
    }
    threads_.clear();
}

}  // namespace server
