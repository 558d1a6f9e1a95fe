#pragma once
// The lines of the rules' CSV export.

#include <string>
#include <vector>

#include "protocol/DataPacket.h"
#include "protocol/DatePattern.h"

namespace vnd {

/// What one exported rule looks like: the columns a spreadsheet needs to read each rule on
/// its own (branch, table, period, product, day, type, window, validity, kind, form,
/// amount as a decimal number, display, last change). Pure: no I/O.
class RuleExport {
public:
    /// The header line's fields.
    static const std::vector<std::string>& header();
    /// The fields of one row of a GetPrecDif page; the product tree code is shown through
    /// `picture` (the host's product-code picture; empty: as stored).
    static std::vector<std::string> fields(const wire::DataPacket& page, const wire::Row& row,
                                           const wire::DatePattern& pattern, const std::string& picture);
};

}  // namespace vnd
