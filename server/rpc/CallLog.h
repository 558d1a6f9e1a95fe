#pragma once
// What the dispatcher tells the log and the metrics: each call that ended, each refused
// login, and the failures whose inside only the log may see.

#include <atomic>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "server/ops/Occurrences.h"
#include "server/rpc/Call.h"

namespace server {

class Log;
class Metrics;

/// A name a peer sent, as the log and an answer show it: whole up to 64 bytes, else its
/// first 64 (never half a character) and its length in bytes. The frame limit allows
/// names of megabytes; the log is read by people.
std::string peerName(std::string_view name);

/// One line in the log and a count in the metrics for each event. Thread-safe.
class CallLog {
public:
    CallLog(Log& log, Metrics& metrics) : log_(log), metrics_(metrics) {}

    /// A call ended with this result (for a store, the rows it wrote are counted).
    void succeeded(const Call& call, const Session& session, const nlohmann::json& result);
    /// A call, or a line naming method (as sent), ended with this error.
    void failed(std::string_view method, const Session& session, CallClock::time_point arrived,
                std::string_view error);
    /// A failure the peer must not see the inside of (the database's own text, an
    /// exception): logged with a new occurrence number, which is returned for the answer.
    /// A database failure is counted as such.
    std::string occurrence(const Call& call, const Session& session, std::string_view detail,
                    bool database);
    /// A login refused, for this reason ("wrong-token"...), with the text for the log.
    void refusedLogin(const Session& session, std::string_view reason, std::string message);
    /// An address locked out after too many failed logins.
    void lockedOut(const Session& session, long seconds, int failures);
    /// A connection named its user and station.
    void hello(const Session& session);

private:
    Log& log_;
    Metrics& metrics_;
    Occurrences occurrences_;
};

}  // namespace server
