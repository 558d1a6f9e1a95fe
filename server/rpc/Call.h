#pragma once
// What the dispatcher knows of one connection, and the calls it prepares from its lines
// for a worker to complete.

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "protocol/Methods.h"

namespace server {

using CallClock = std::chrono::steady_clock;

/// One connection as the dispatcher sees it; touched by one call at a time.
struct Session {
    bool authenticated = false;
    bool closeAfterAnswer = false;  ///< set when the connection must end now
    std::string peer;               ///< the peer's address, for the log and lockouts
    std::string user;               ///< as rpc.hello named it; empty until then
    std::string station;            ///< as rpc.hello named it; the peer's until then
};

/// A checked call of the object's methods that needs the database: prepared where the
/// bytes arrive, completed on a thread that may wait for the database.
struct Call {
    nlohmann::json id;
    const wire::MethodDescription* method = nullptr;  ///< the method called
    nlohmann::json params;                            ///< accepted by wire::checkParams for method
    bool notification = false;
    CallClock::time_point arrived;  ///< when its line was read, for the call's duration
    CallClock::time_point deadline;
    std::string user, station;  ///< the session's when the call was prepared

    /// It changes stored data: it then runs on the stores' workers.
    bool writes() const { return method != nullptr && method->writes; }
};

/// A call of a method that waits, put aside until a change of its branch commits or
/// `until` comes: then completed again.
struct ParkedCall {
    Call call;
    std::string branch;             ///< whose changes wake it
    long long seen = 0;             ///< the change number its last answer was whole up to
    CallClock::time_point until{};  ///< when its wait runs out
};

/// What completing a call that may wait gave: its answer line (none for a notification),
/// or the call put aside.
struct Completion {
    std::optional<std::string> answer;
    std::optional<ParkedCall> parked;
};

/// A batch with calls to complete.
struct Batch {
    std::string answered;     ///< the answers given at once, comma-separated
    std::vector<Call> calls;  ///< in the order sent

    /// True when it holds a store: it then runs on the stores' workers.
    bool writes() const {
        return std::any_of(calls.begin(), calls.end(), [](const Call& c) { return c.writes(); });
    }
};

/// What one line asks for: an answer given at once (or none, for a notification), or a
/// call or a batch to complete.
struct Step {
    Step() = default;
    Step(std::optional<std::string> answerLine, std::optional<Call> toComplete)
        : answer(std::move(answerLine)), call(std::move(toComplete)) {}
    explicit Step(Batch toComplete) : batch(std::move(toComplete)) {}

    std::optional<std::string> answer;
    std::optional<Call> call;
    std::optional<Batch> batch;

    /// Something is left to complete (on a worker).
    bool pending() const { return call || batch; }
    /// What is left to complete stores rules.
    bool writes() const { return call ? call->writes() : batch && batch->writes(); }
};

}  // namespace server
