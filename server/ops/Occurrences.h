#pragma once
// The names under which a server logs the failures whose inside a screen must not see.

#include <atomic>
#include <string>

namespace server {

/// Hands out occurrence names "PREFIX-N": PREFIX is six letters and digits drawn at random
/// when this is made, so that the names of different servers, and of one server's
/// different starts, are not the same (one in about a billion), and N counts from 1. A
/// clerk reads the name from the screen; the administrator finds it in the log of
/// whichever server wrote it. Thread-safe.
class Occurrences {
public:
    Occurrences();
    /// The next name.
    std::string next();

private:
    std::string prefix_;
    std::atomic<long> count_{0};
};

}  // namespace server
