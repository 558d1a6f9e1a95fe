#pragma once
// What the dispatcher is told: the token, the login lockout, the calls' deadlines, the
// most a batch's answer may hold, and where it logs and counts. The transport fills it
// from its own options.

#include <chrono>
#include <cstddef>
#include <string>

namespace server {

class Log;
class Metrics;

struct RpcOptions {
    /// The secret a connection presents with rpc.auth before any call; empty for none.
    std::string token;
    /// Failed logins from one address within authWindow that lock it out for authLockout.
    int authFailures = 5;
    std::chrono::seconds authWindow = std::chrono::seconds(60);
    std::chrono::seconds authLockout = std::chrono::seconds(60);
    /// A lookup is answered within this time of its arrival, whatever the database does.
    std::chrono::milliseconds lookupTimeout = std::chrono::seconds(15);
    /// The same for a store, which may write a million rows.
    std::chrono::milliseconds storeTimeout = std::chrono::minutes(5);
    /// The most bytes the answers of one batch may hold: a price book is some megabytes,
    /// and a batch holds up to a thousand calls. Past it, calls are answered by an error
    /// that says so instead of being run.
    std::size_t batchAnswerLimit = 32u * 1024u * 1024u;
    /// Where calls, logins and failures are logged (nullptr: standard error).
    Log* log = nullptr;
    /// Where they are counted for /metrics (nullptr: the dispatcher's own).
    Metrics* metrics = nullptr;
};

}  // namespace server
