#pragma once
// Where the next page of a listing in product order starts.

#include <string>

#include "protocol/DataPacket.h"

namespace vnd {

/// Walks every row of a listing sorted by product code (CDPRODUTO first), a page at a
/// time, asking each page from the last product seen instead of from an ever larger
/// offset: the server then skips only the rows of that one product, not every row before
/// it, so a million rows cost as many steps as pages, not pages times rows. Pure: the
/// caller asks with firstProduct() and offset(), then hands each page to advance().
class PageCursor {
public:
    /// Starts at the filter's first product ("" from the first).
    explicit PageCursor(std::string firstProduct) : from_(std::move(firstProduct)) {}

    /// The first product of the next request.
    const std::string& firstProduct() const { return from_; }
    /// The rows of that product already taken, to skip.
    long offset() const { return skip_; }
    /// Takes a page asked with `limit` whose count of rows from firstProduct() on was
    /// `total`; returns false when it was the last one.
    bool advance(const wire::DataPacket& page, long limit, long total);

private:
    std::string from_;
    long skip_ = 0;
};

}  // namespace vnd
