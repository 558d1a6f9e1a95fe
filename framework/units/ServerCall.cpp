#include "units/ServerCall.h"

#include "net/TNetConnection.h"
#include "units/Consiste.h"
#include "units/ProgressAnimation.h"

namespace vol {

wire::DataPacket ServerCall(TNetConnection& connection, const std::string& method,
                            const std::vector<wire::Value>& args, ProgressKind kind,
                            const std::string& caption) {
    wire::CallResult result;
    {
        // Gone before CheckResultServ can show a failure: the animation must not cover
        // the message the person has to read.
        ProgressAnimation animation(kind, caption);
        result = connection.Call(method, args);
    }
    return CheckResultServ(result, true, 0);
}

}  // namespace vol
