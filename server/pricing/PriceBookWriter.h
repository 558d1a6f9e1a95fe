#pragma once
// The price book as the command lines write it: aligned text for a person, or
// `;`-separated values with `,` decimals and a header line. The server's `prices` and a
// till's write it with this one writer.

#include <iosfwd>

#include "server/pricing/PriceCalculation.h"
#include "server/pricing/PriceMoment.h"
#include "server/pricing/PricedProduct.h"

namespace server {

/// Writes one price book to a stream, product by product, as the caller hands them on.
class PriceBookWriter {
public:
    /// Writes what comes before the products: the CSV header, or in text the line saying
    /// that no period is in force at the moment.
    PriceBookWriter(std::ostream& out, const PriceMoment& at, bool csv);

    /// Writes one product's line: its base price, its price at the moment and the applied
    /// rule (nullptr: none).
    void add(const PricedProduct& product, const RuleRow* applied, const PriceResult& price);

private:
    std::ostream& out_;
    bool csv_;
};

}  // namespace server
