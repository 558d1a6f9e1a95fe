#pragma once
// One remote call the way every screen makes it.

#include <optional>
#include <string>
#include <vector>

#include "protocol/DataPacket.h"
#include "protocol/Value.h"
#include "ui/UserInterface.h"

namespace vol {

class TNetConnection;

/// Shows the progress animation (with its caption) while the method is called, hides it,
/// then passes the result through CheckResultServ, so a failure's message is shown with
/// the animation gone; the failure then goes on. The animation is hidden on every path.
/// Returns the data packet of the answer.
wire::DataPacket ServerCall(TNetConnection& connection, const std::string& method,
                            const std::vector<wire::Value>& args, ProgressKind kind,
                            const std::string& caption = {});

/// The same call for a method that answers something other than a data packet (an
/// object such as {"total":N,"rows":...}): returns the answer's value as it came. With
/// `rows`, a page's packet comes there instead (TNetConnection::Call).
wire::Value ServerCallValue(TNetConnection& connection, const std::string& method,
                            const std::vector<wire::Value>& args, ProgressKind kind,
                            const std::string& caption = {},
                            std::optional<wire::DataPacket>* rows = nullptr);

}  // namespace vol
