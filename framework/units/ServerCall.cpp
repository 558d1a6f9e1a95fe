#include "units/ServerCall.h"

#include "net/TNetConnection.h"
#include "units/Consiste.h"
#include "units/ProgressAnimation.h"

namespace vol {

namespace {

wire::CallResult callShowingProgress(TNetConnection& connection, const std::string& method,
                                     const std::vector<wire::Value>& args, ProgressKind kind,
                                     const std::string& caption,
                                     std::optional<wire::DataPacket>* rows) {
    // Gone before CheckResultServ can show a failure: the animation must not cover the
    // message the person has to read.
    ProgressAnimation animation(kind, caption);
    return connection.Call(method, args, rows);
}

}  // namespace

wire::DataPacket ServerCall(TNetConnection& connection, const std::string& method,
                            const std::vector<wire::Value>& args, ProgressKind kind,
                            const std::string& caption) {
    wire::CallResult result = callShowingProgress(connection, method, args, kind, caption, nullptr);
    // A failure ends the action there; a success's rows are moved on, not copied (a packet
    // may hold a branch's products).
    if (!result.ok) CheckResultServ(result, true, 0);
    auto* packet = std::get_if<wire::DataPacket>(&result.value);
    return packet != nullptr ? std::move(*packet) : wire::DataPacket();
}

wire::Value ServerCallValue(TNetConnection& connection, const std::string& method,
                            const std::vector<wire::Value>& args, ProgressKind kind,
                            const std::string& caption, std::optional<wire::DataPacket>* rows) {
    wire::CallResult result = callShowingProgress(connection, method, args, kind, caption, rows);
    if (!result.ok) CheckResultServ(result, true, 0);
    return std::move(result.value);
}

}  // namespace vol
