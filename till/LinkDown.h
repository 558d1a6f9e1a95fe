#pragma once
// The server cannot be reached, or the connection to it broke: the till keeps its file and
// tries again later.

#include <stdexcept>

namespace till {

/// A failure of the link, not of the call: its text is Portuguese and names the server.
class LinkDown : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace till
