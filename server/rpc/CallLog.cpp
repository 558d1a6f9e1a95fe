#include "server/rpc/CallLog.h"

#include "protocol/ValueCodec.h"
#include "server/ops/Log.h"
#include "server/ops/Metrics.h"

namespace server {

namespace {

// A known method is named by its description, as it spells it, whatever letter case the
// call used; an unknown one is folded into "unknown" for the metrics, so that a peer
// sending made-up names cannot grow them without bound, and cut for the log.
std::string_view metricsLabel(std::string_view method) {
    const wire::MethodDescription* described = wire::findMethod(method);
    return described != nullptr ? described->name : "unknown";
}

std::string logName(std::string_view method) {
    const wire::MethodDescription* described = wire::findMethod(method);
    return described != nullptr ? std::string(described->name) : peerName(method);
}

std::string milliseconds(CallClock::duration elapsed) {
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
    return std::to_string(micros / 1000) + "." + std::to_string(micros % 1000 / 100);
}

long rowsOf(const nlohmann::json& result, const char* key) {
    if (!result.is_object())
        return 0;
    const auto it = result.find(key);
    return it != result.end() && it->is_number_integer() ? it->get<long>() : 0;
}

// The user the connection's hello named; "-" before one.
std::string userOf(const Session& session) {
    return session.user.empty() ? "-" : session.user;
}

}  // namespace

std::string peerName(std::string_view name) {
    constexpr std::size_t kShown = 64;
    if (name.size() <= kShown) {
        return std::string(name);
    }
    std::size_t end = kShown;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80) {
        --end;  // a UTF-8 continuation byte: the character began before
    }
    return std::string(name.substr(0, end)) + "… (" + std::to_string(name.size()) + " bytes)";
}

void CallLog::succeeded(const Call& call, const Session& session, const nlohmann::json& result) {
    const auto elapsed = CallClock::now() - call.arrived;
    const std::string_view name = call.method->name;
    metrics_.recordCall(name, true, elapsed);
    // Only the methods that change stored data count rows: a dry run answers with the
    // same fields and writes nothing.
    const bool writes = call.writes();
    const long stored = writes ? rowsOf(result, "stored") : 0;
    const long replaced = writes ? rowsOf(result, "replaced") : 0;
    const long removed = writes ? rowsOf(result, "removed") : 0;
    metrics_.addRows(stored, replaced);
    metrics_.addRemoved(removed);
    if (!log_.enabled(LogLevel::Info)) {
        return;
    }
    if (writes) {
        log_.event(LogLevel::Info, "call",
                   {{"method", std::string(name)},
                    {"peer", session.peer},
                    {"user", userOf(session)},
                    {"ms", milliseconds(elapsed)},
                    {"result", "ok"},
                    {"stored", std::to_string(stored)},
                    {"replaced", std::to_string(replaced)},
                    {"removed", std::to_string(removed)}});
    } else {
        log_.event(LogLevel::Info, "call",
                   {{"method", std::string(name)},
                    {"peer", session.peer},
                    {"user", userOf(session)},
                    {"ms", milliseconds(elapsed)},
                    {"result", "ok"}});
    }
}

void CallLog::failed(std::string_view method, const Session& session, CallClock::time_point arrived,
                     std::string_view error) {
    const auto elapsed = CallClock::now() - arrived;
    metrics_.recordCall(metricsLabel(method), false, elapsed);
    log_.event(LogLevel::Info, "call",
               {{"method", logName(method)},
                {"peer", session.peer},
                {"user", userOf(session)},
                {"ms", milliseconds(elapsed)},
                {"result", "error"},
                {"error", std::string(error)}});
}

std::string CallLog::occurrence(const Call& call, const Session& session,
                                std::string_view detail, bool database) {
    if (database) {
        metrics_.databaseError();
    }
    std::string n = occurrences_.next();
    log_.event(LogLevel::Error, "failure",
               {{"occurrence", n},
                {"method", call.method == nullptr ? std::string("-") : std::string(call.method->name)},
                {"id", wire::dumpJson(call.id)},
                {"peer", session.peer.empty() ? std::string("?") : session.peer},
                {"error", std::string(detail)}});
    return n;
}

void CallLog::refusedLogin(const Session& session, std::string_view reason, std::string message) {
    metrics_.authFailure();
    log_.event(
        LogLevel::Warning, "auth-refused",
        {{"peer", session.peer}, {"reason", std::string(reason)}, {"msg", std::move(message)}});
}

void CallLog::lockedOut(const Session& session, long seconds, int failures) {
    log_.event(LogLevel::Warning, "auth-lockout",
               {{"peer", session.peer},
                {"seconds", std::to_string(seconds)},
                {"failures", std::to_string(failures)},
                {"msg", "endereço " + session.peer + " bloqueado por " + std::to_string(seconds) +
                            " s após " + std::to_string(failures) + " falhas de autenticação"}});
}

void CallLog::hello(const Session& session) {
    log_.event(LogLevel::Debug, "hello",
               {{"peer", session.peer}, {"user", session.user}, {"station", session.station}});
}

}  // namespace server
