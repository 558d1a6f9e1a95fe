#include "units/ServerCall.h"

#include "net/TNetConnection.h"
#include "units/Consiste.h"
#include "units/ProgressAnimation.h"

namespace vol {

namespace {

wire::CallResult callShowingProgress(TNetConnection& connection, const std::string& method,
                                     const std::vector<wire::Value>& args, ProgressKind kind,
                                     const std::string& caption) {
    // Gone before CheckResultServ can show a failure: the animation must not cover the
    // message the person has to read.
    ProgressAnimation animation(kind, caption);
    return connection.Call(method, args);
}

}  // namespace

wire::DataPacket ServerCall(TNetConnection& connection, const std::string& method,
                            const std::vector<wire::Value>& args, ProgressKind kind,
                            const std::string& caption) {
    return CheckResultServ(callShowingProgress(connection, method, args, kind, caption), true, 0);
}

wire::Value ServerCallValue(TNetConnection& connection, const std::string& method,
                            const std::vector<wire::Value>& args, ProgressKind kind,
                            const std::string& caption) {
    wire::CallResult result = callShowingProgress(connection, method, args, kind, caption);
    CheckResultServ(result, true, 0);
    return std::move(result.value);
}

}  // namespace vol
