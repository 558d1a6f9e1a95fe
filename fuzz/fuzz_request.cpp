// Bytes as a peer sends them: framed, parsed as JSON-RPC, dispatched to the four methods
// with their argument checks over a demo database. Nothing may crash, every line must get
// one well-formed answer, and no rule outside what the checks allow may be stored.

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string_view>

#include <nlohmann/json.hpp>
#include <unistd.h>

#include "protocol/LineFramer.h"
#include "server/rpc/Dispatcher.h"
#include "server/service/PriceService.h"
#include "server/store/StoreFactory.h"
#include "server/cli/DatabaseInit.h"

namespace {

struct World {
    std::string path;
    std::unique_ptr<server::PriceService> service;
    std::unique_ptr<server::Dispatcher> dispatcher;

    World() {
        path = (std::filesystem::temp_directory_path() /
                ("vnd-fuzz-" + std::to_string(::getpid()) + ".db"))
                   .string();
        std::filesystem::remove(path);
        server::initDatabase("sqlite:" + path, true, 30);
        service = std::make_unique<server::PriceService>(server::openStore("sqlite:" + path));
        dispatcher = std::make_unique<server::Dispatcher>(*service);
    }
};

World& world() {
    static World w;
    return w;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    World& w = world();
    wire::LineFramer framer(4096);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Fed in two pieces, split where the first byte says, as TCP may split them.
    const std::size_t cut = size == 0 ? 0 : data[0] % (size + 1);
    std::vector<wire::Frame> frames = framer.feed(bytes.substr(0, cut));
    for (wire::Frame& f : framer.feed(bytes.substr(cut))) {
        frames.push_back(std::move(f));
    }
    for (const wire::Frame& frame : frames) {
        if (frame.kind == wire::Frame::Kind::Oversized) {
            continue;
        }
        server::Dispatcher::Session session;
        const auto answer = w.dispatcher->handle(frame.text, session);
        if (answer && !nlohmann::json::accept(*answer)) {
            std::abort();  // an answer the client cannot read
        }
    }
    return 0;
}
