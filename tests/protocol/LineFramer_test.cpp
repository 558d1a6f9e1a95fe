#include "protocol/LineFramer.h"

#include <gtest/gtest.h>

namespace {

using wire::Frame;
using wire::LineFramer;

std::vector<Frame> feedAll(LineFramer& framer, const std::vector<std::string>& pieces) {
    std::vector<Frame> all;
    for (const std::string& piece : pieces) {
        for (Frame& f : framer.feed(piece)) {
            all.push_back(std::move(f));
        }
    }
    return all;
}

Frame line(std::string text) {
    return {Frame::Kind::Line, std::move(text)};
}
const Frame kOversized{Frame::Kind::Oversized, {}};

struct FramingCase {
    const char* name;
    std::size_t limit;
    std::vector<std::string> pieces;
    std::vector<Frame> expected;
    std::size_t pendingAfter;
};

class Framing : public testing::TestWithParam<FramingCase> {};

TEST_P(Framing, SplitsPiecesIntoFrames) {
    const FramingCase& c = GetParam();
    LineFramer framer(c.limit);
    EXPECT_EQ(feedAll(framer, c.pieces), c.expected);
    EXPECT_EQ(framer.pending(), c.pendingAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Framing,
    testing::Values(
        FramingCase{"whole", 100, {"{\"a\":1}\n"}, {line("{\"a\":1}")}, 0},
        FramingCase{"split_byte_by_byte", 100, {"a", "b", "c", "\n"}, {line("abc")}, 0},
        FramingCase{"two_in_one_piece", 100, {"one\ntwo\nthr"}, {line("one"), line("two")}, 3},
        FramingCase{"crlf_is_stripped", 100, {"abc\r\n"}, {line("abc")}, 0},
        FramingCase{"empty_line", 100, {"\n"}, {line("")}, 0},
        FramingCase{"exactly_at_limit", 4, {"abcd\n"}, {line("abcd")}, 0},
        FramingCase{"at_limit_with_crlf", 4, {"abcd\r\n"}, {line("abcd")}, 0},
        FramingCase{"one_over_limit", 4, {"abcde\n", "ok\n"}, {kOversized, line("ok")}, 0},
        FramingCase{"oversized_known_before_newline", 4, {"abcdefgh"}, {kOversized}, 0},
        FramingCase{"oversized_rest_is_dropped", 4,
                    {"abcdefgh", "ijklmnop", "qrst\nnext\n"}, {kOversized, line("next")}, 0},
        FramingCase{"oversized_across_pieces", 4, {"abc", "def", "\n"}, {kOversized}, 0}),
    [](const testing::TestParamInfo<FramingCase>& p) { return p.param.name; });

TEST(LineFramer, KeepsAtMostTheLimitOfAnEndlessLine) {
    LineFramer framer(1024);
    const std::string chunk(4096, 'x');
    std::size_t oversized = 0;
    for (int i = 0; i < 100; ++i) {
        oversized += framer.feed(chunk).size();
        EXPECT_LE(framer.pending(), 1025u);
    }
    EXPECT_EQ(oversized, 1u);
}

}  // namespace
