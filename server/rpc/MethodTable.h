#pragma once
// What each method of the remote object runs: its handlers, found by its description.

#include "protocol/Methods.h"
#include "server/methods/MethodContext.h"

namespace server {

/// The handlers of one method.
struct MethodRoute {
    /// The answer as a JSON tree; nullptr for the methods written as text.
    MethodHandler handler = nullptr;
    /// The answer written as JSON text without a tree (the reading methods the screens
    /// and tills call most); nullptr for the others, whose text is the dump of handler's
    /// answer.
    TextMethodHandler text = nullptr;
    /// Whether its answer may come from what the server holds in memory alone.
    bool held = false;
};

/// The handlers of the method that id names. The table is indexed by the id of every
/// method wire::methods() describes, and checked to be whole when it is compiled.
const MethodRoute& methodRoute(wire::MethodId id);

}  // namespace server
