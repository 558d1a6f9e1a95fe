#include "units/ServerCall.h"

#include "net/TNetConnection.h"
#include "units/Consiste.h"
#include "units/ProgressAnimation.h"

namespace vol {

wire::DataPacket ServerCall(TNetConnection& connection, const std::string& method,
                            const std::vector<wire::Value>& args, ProgressKind kind,
                            const std::string& caption) {
    ProgressAnimation animation(kind, caption);
    wire::CallResult result = connection.Call(method, args);
    return CheckResultServ(result, true, 0);
}

}  // namespace vol
