#pragma once
// One lookup's round trip through the real server against a plain echo of as many bytes,
// measured the same way for every reading method.

#include <string>
#include <vector>

#include "protocol/Value.h"

namespace benchmark {
class State;
}

namespace bench {

/// Medians and tails of one repetition, in microseconds.
struct LookupFigures {
    double dispatchMedian = 0;  ///< the server's own work: parse, read, answer; no socket
    double echoMedian = 0;      ///< the blocking echo of the same request and reply bytes
    double echoP99 = 0;
    double serverMedian = 0;    ///< the real server seen by the echo's plain client
    double median = 0;          ///< the call through the screen's connection
    double p99 = 0;
    std::size_t bytes = 0;      ///< request and reply line
};

/// Makes `calls` calls of each kind against a server over the database at url, the kinds
/// interleaved in that order within one repetition so that the echo and the call share
/// the machine's moment. Throws std::runtime_error when the method answers an error.
LookupFigures measureLookup(const std::string& url, const std::string& method,
                            const std::vector<wire::Value>& args, int calls);

/// The figures as the repetition's counters (median_us, echo_median_us, ratio_median, ...)
/// and its manual time (the call's median).
void reportLookup(benchmark::State& state, const LookupFigures& figures);

}  // namespace bench
