#pragma once
// Who a command's changes are made by, for the rule history.

#include <string>

#include "server/store/RuleStore.h"

namespace server {

/// The system user running the command, and the machine's name with the command
/// ("caixa-1 (vnd-server import)"), each cut to the history's 64 characters.
RuleStore::Caller commandCaller(const std::string& command);

}  // namespace server
