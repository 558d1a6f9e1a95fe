#pragma once
// Splits a byte stream into the newline-ended frames of the wire protocol.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace wire {

/// The default largest frame, without its newline.
inline constexpr std::size_t kDefaultFrameLimit = 64u * 1024u * 1024u;

/// One outcome of splitting: a complete line, or the notice that a line went over the
/// limit (its bytes are dropped up to and including its newline).
struct Frame {
    enum class Kind { Line, Oversized };
    Kind kind = Kind::Line;
    std::string text;  ///< the line without "\n" (and without a "\r" before it)

    bool operator==(const Frame&) const = default;
};

/// Pure incremental splitter: feed it bytes as they arrive, in pieces of any size; it
/// never holds more than the limit plus one piece. No I/O.
class LineFramer {
public:
    explicit LineFramer(std::size_t limit = kDefaultFrameLimit) : limit_(limit) {}

    /// Appends bytes and returns every frame they complete, in order. An oversized line
    /// gives one Oversized frame as soon as it is known to be too long.
    std::vector<Frame> feed(std::string_view bytes);
    /// Bytes of an unfinished line held so far.
    std::size_t pending() const { return buffer_.size(); }
    std::size_t limit() const { return limit_; }

private:
    std::size_t limit_;
    std::string buffer_;
    bool discarding_ = false;  // inside an oversized line, waiting for its newline
};

}  // namespace wire
