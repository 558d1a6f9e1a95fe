#pragma once
// Checks and reports shared by every screen.

#include <string>
#include <string_view>

#include "protocol/DataPacket.h"
#include "protocol/Value.h"

namespace vol {

/// Shows the text in the error box; with abortAction (every screen call passes true)
/// it then ends the running user action by raising Abort.
void MensErro(const std::string& text, bool abortAction = true);

/// The result check of every remote call: for a successful result, the data packet it
/// carries (an empty packet when it carries something else); for a failure, the server's
/// or the connection's message through MensErro, which ends the running action.
wire::DataPacket CheckResultServ(const wire::CallResult& result, bool abortAction, int context);

/// True for an empty text or one made of blanks only.
bool EmptyString(std::string_view text);

/// A typed code brought to its full width: blanks trimmed, then a shorter code padded on
/// the left with zeros ("1" at width 4 gives "0001"); a code of the width or longer is
/// returned trimmed.
std::string Ajusta(std::string_view code, int width);

}  // namespace vol
