// The export's walk over a listing in product order, page by page.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inquiry/PageCursor.h"

namespace {

// The rows of a listing: product codes in key order.
const std::vector<std::string> kListing = {"1", "1", "1", "2", "2", "3", "4", "4", "4", "4", "4", "5"};

// What the server answers for a request from `first`, skipping `offset` rows: its page of
// `limit` rows and the count of rows from `first` on.
wire::DataPacket answer(const std::string& first, long offset, long limit, long& total) {
    wire::DataPacket page;
    page.fields = {{"CDPRODUTO", "string", 10}, {"IDDIA", "string", 1}};
    std::vector<std::string> from;
    for (const auto& p : kListing) {
        if (first.empty() || p >= first) from.push_back(p);
    }
    total = static_cast<long>(from.size());
    for (long r = offset; r < std::min<long>(offset + limit, total); ++r) {
        page.rows.push_back({from[static_cast<std::size_t>(r)], std::to_string(r)});
    }
    return page;
}

class PageCursorTest : public ::testing::TestWithParam<long> {};

TEST_P(PageCursorTest, TakesEveryRowOnceInOrderWhateverThePageSize) {
    const long limit = GetParam();
    vnd::PageCursor cursor("");
    std::vector<std::string> taken;
    int requests = 0;
    for (;;) {
        long total = 0;
        const wire::DataPacket page = answer(cursor.firstProduct(), cursor.offset(), limit, total);
        for (const auto& row : page.rows) taken.push_back(*row[0]);
        ASSERT_LT(++requests, 50) << "the walk does not end";
        if (!cursor.advance(page, limit, total)) break;
    }
    EXPECT_EQ(taken, kListing);
}

INSTANTIATE_TEST_SUITE_P(PageSizes, PageCursorTest, ::testing::Values(1L, 2L, 3L, 4L, 5L, 12L, 100L));

TEST(PageCursorStart, StartsAtTheFiltersFirstProduct) {
    vnd::PageCursor cursor("0000000007");
    EXPECT_EQ(cursor.firstProduct(), "0000000007");
    EXPECT_EQ(cursor.offset(), 0);
}

}  // namespace
