#pragma once
// The security and patience of the screen's server connection: the settings every client
// of the server shares, under the framework's name.

#include "protocol/NetSettings.h"

namespace vol {

using wire::NetSettings;

}  // namespace vol
