#pragma once
// Network failures in the clerk's words: the protocol library's texts, which the tills
// share, under the framework's names.

#include "protocol/NetFailure.h"

namespace vol {

using wire::connectFailureMessage;
using wire::networkFailureText;

}  // namespace vol
