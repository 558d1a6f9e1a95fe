#include "LineFramer.h"

namespace wire {

std::vector<Frame> LineFramer::feed(std::string_view bytes) {
    std::vector<Frame> frames;
    while (!bytes.empty()) {
        const std::size_t nl = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, nl);
        if (discarding_) {
            // The rest of an oversized line is skipped without being kept, so a peer that
            // never sends a newline cannot grow our memory.
        } else if (buffer_.size() + piece.size() > limit_ + 1) {
            // One byte of slack for a "\r" that the newline will strip.
            buffer_.clear();
            discarding_ = true;
            frames.push_back({Frame::Kind::Oversized, {}});
        } else {
            buffer_.append(piece);
        }
        if (nl == std::string_view::npos) {
            break;
        }
        if (!discarding_) {
            if (!buffer_.empty() && buffer_.back() == '\r') {
                buffer_.pop_back();
            }
            if (buffer_.size() > limit_) {
                frames.push_back({Frame::Kind::Oversized, {}});
            } else {
                frames.push_back({Frame::Kind::Line, std::move(buffer_)});
            }
            buffer_.clear();
        }
        discarding_ = false;
        bytes.remove_prefix(nl + 1);
    }
    return frames;
}

}  // namespace wire
