#pragma once
// One remote call the way every screen makes it.

#include <string>
#include <vector>

#include "protocol/DataPacket.h"
#include "protocol/Value.h"
#include "ui/UserInterface.h"

namespace vol {

class TNetConnection;

/// Shows the progress animation (with its caption), calls the method, passes the result
/// through CheckResultServ and hides the animation, also when any step fails; the
/// failure then goes on. Returns the data packet of the answer.
wire::DataPacket ServerCall(TNetConnection& connection, const std::string& method,
                            const std::vector<wire::Value>& args, ProgressKind kind,
                            const std::string& caption = {});

}  // namespace vol
