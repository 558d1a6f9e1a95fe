#include "inquiry/PageCursor.h"

namespace vnd {

bool PageCursor::advance(const wire::DataPacket& page, long limit, long total) {
    const long rows = static_cast<long>(page.rows.size());
    if (rows == 0 || rows < limit || skip_ + rows >= total) return false;
    const int product = page.fieldIndex("CDPRODUTO");
    const auto cell = [&](long r) -> std::string {
        const wire::Cell& c = page.rows[static_cast<std::size_t>(r)][static_cast<std::size_t>(product)];
        return c ? *c : std::string();
    };
    if (product < 0) {
        // No product column to go by: plain offsets.
        skip_ += rows;
        return true;
    }
    const std::string last = cell(rows - 1);
    long ofLast = 0;
    for (long r = rows - 1; r >= 0 && cell(r) == last; --r) ++ofLast;
    // The rows of the last product taken so far: those of this page, and the ones skipped
    // before when the page was asked from that same product.
    const long before = last == from_ ? skip_ : 0;
    from_ = last;
    skip_ = before + ofLast;
    return true;
}

}  // namespace vnd
