#pragma once
// What a call that may wait says when it has nothing new to answer yet.

#include <stdexcept>
#include <string>

namespace server {

/// Thrown by a method that waits, in place of an answer that nothing is new: its caller
/// waits for a change of the branch numbered above `seen`, then calls it again.
class NothingNewYet : public std::runtime_error {
public:
    NothingNewYet(std::string branch, long long seen)
        : std::runtime_error("nada de novo ainda"), branch_(std::move(branch)), seen_(seen) {}
    const std::string& branch() const { return branch_; }
    long long seen() const { return seen_; }

private:
    std::string branch_;
    long long seen_;
};

}  // namespace server
