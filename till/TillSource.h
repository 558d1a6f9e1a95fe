#pragma once
// Where a till's replica takes its data from: the server, and the branch and price table
// whose prices it keeps.

#include <string>

#include "protocol/NetSettings.h"

namespace till {

/// The server and the data a replica follows.
struct TillSource {
    std::string host;
    int port = 0;
    wire::NetSettings settings;  ///< token, TLS authority, timeouts
    std::string branch;          ///< CDFILIAL
    std::string table;           ///< CDTABEPREC
};

}  // namespace till
