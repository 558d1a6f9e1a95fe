#pragma once
// The server's log: one line an event, with its time and level, for an administrator.

#include <mutex>
#include <ostream>
#include <string_view>

namespace server {

/// How much a log line matters, most first.
enum class LogLevel { Error, Warning, Info, Debug };

/// Writes "YYYY-MM-DDTHH:MM:SS.mmmZ LEVEL text" lines (UTC) to a stream; line breaks in
/// a text (a database's multi-line message) become " | ", so every event is one line.
/// Lines below the threshold are dropped. Thread-safe.
class Log {
public:
    explicit Log(std::ostream& out, LogLevel threshold = LogLevel::Info);

    void write(LogLevel level, std::string_view text);
    void error(std::string_view text) { write(LogLevel::Error, text); }
    void warning(std::string_view text) { write(LogLevel::Warning, text); }
    void info(std::string_view text) { write(LogLevel::Info, text); }
    bool enabled(LogLevel level) const { return level <= threshold_; }

private:
    std::mutex mutex_;
    std::ostream& out_;
    LogLevel threshold_;
};

/// The process's log on standard error, level info.
Log& standardLog();

}  // namespace server
