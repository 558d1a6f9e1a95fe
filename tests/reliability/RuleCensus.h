#pragma once
// Counts the rows of one stored rule straight from the database, the way an auditor
// would after a crash: without the server.

#include <string>

namespace reliability {

/// What PRECDIF holds for the rows of branch 0001 valid from one date.
struct Census {
    long rows = 0;
    long amounts = 0;     ///< distinct VRPRECDIF among them
    double amount = 0;    ///< the smallest of them (the only one when amounts is 1)

    bool operator==(const Census&) const = default;
};

/// The census of the rows valid from `validFrom` (YYYY-MM-DD) in the database at url
/// ("sqlite:PATH" or a PostgreSQL URL). Throws std::runtime_error when it cannot read.
Census census(const std::string& url, const std::string& validFrom);

}  // namespace reliability
