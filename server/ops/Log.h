#pragma once
// The server's log: one line an event, with its time, level and key=value fields, for an
// administrator and for the journal.

#include <initializer_list>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace server {

/// How much a log line matters, most first.
enum class LogLevel { Error, Warning, Info, Debug };

/// The level named by "error", "warning" (or "warn"), "info" or "debug"; nullopt for
/// any other text.
std::optional<LogLevel> parseLogLevel(std::string_view name);

/// One field of an event line: its key and its value as text.
struct LogField {
    std::string_view key;
    std::string value;
};

/// Writes "YYYY-MM-DDTHH:MM:SS.mmmZ LEVEL key=value ..." lines (UTC) to a stream. A
/// value with a blank, a quote, an equals sign or nothing in it is written in double
/// quotes with \" and \\ escaped; line breaks in a value (a database's multi-line
/// message) become " | ", so every event is one line. Lines below the threshold are
/// dropped. Thread-safe. Secrets (tokens, passwords) are never given to it: callers pass
/// URLs through redactUrl and never pass a token at all.
class Log {
public:
    explicit Log(std::ostream& out, LogLevel threshold = LogLevel::Info);

    /// An event: "event=NAME" and the fields in the order given.
    void event(LogLevel level, std::string_view name, std::initializer_list<LogField> fields);
    /// A free text, as the field msg.
    void write(LogLevel level, std::string_view text);
    void error(std::string_view text) { write(LogLevel::Error, text); }
    void warning(std::string_view text) { write(LogLevel::Warning, text); }
    void info(std::string_view text) { write(LogLevel::Info, text); }
    bool enabled(LogLevel level) const;
    void setThreshold(LogLevel threshold);

    /// The text of one value as a line shows it (quoted where needed).
    static std::string quoted(std::string_view value);

private:
    void emit(LogLevel level, const std::string& fields);

    mutable std::mutex mutex_;
    std::ostream& out_;
    LogLevel threshold_;
};

/// The process's log on standard error, level info until told otherwise.
Log& standardLog();

}  // namespace server
