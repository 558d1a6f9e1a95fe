#pragma once
// The server's log: one line an event, with its time, level and key=value fields, for an
// administrator and for the journal.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

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
///
/// Logging never waits for the stream: a line goes into a queue of at most `capacity`
/// bytes that a thread of the log's own writes out, so a stream that stalls (a full
/// pipe, a slow journal) stalls no caller. While the queue is full, lines are dropped
/// and counted; once the writer catches up it writes "event=log-lines-dropped count=N"
/// where they went missing.
///
/// The writer does not wake for every line: a line of information queued behind others
/// waits for its round, at most kPace later, so that a server answering thousands of
/// calls a second writes their lines a batch at a time instead of switching to the
/// writer after each. A warning or an error, a queue a quarter full, flush() and
/// finish() wake it at once.
class Log {
public:
    static constexpr std::size_t kDefaultCapacity = 4 * 1024 * 1024;
    static constexpr std::chrono::milliseconds kPace{20};

    explicit Log(std::ostream& out, LogLevel threshold = LogLevel::Info,
                 std::size_t capacity = kDefaultCapacity);
    /// Writes what is queued and ends the writer: waits for the stream as long as it
    /// takes (standardLog() is never destroyed for that reason).
    ~Log();
    Log(const Log&) = delete;
    Log& operator=(const Log&) = delete;

    /// An event: "event=NAME" and the fields in the order given.
    void event(LogLevel level, std::string_view name, std::initializer_list<LogField> fields);
    /// A free text, as the field msg.
    void write(LogLevel level, std::string_view text);
    void error(std::string_view text) { write(LogLevel::Error, text); }
    void warning(std::string_view text) { write(LogLevel::Warning, text); }
    void info(std::string_view text) { write(LogLevel::Info, text); }
    bool enabled(LogLevel level) const { return level <= threshold_.load(std::memory_order_relaxed); }
    void setThreshold(LogLevel threshold) { threshold_.store(threshold, std::memory_order_relaxed); }

    /// Waits until every line logged before the call is written (and the count of any
    /// dropped), or until patience has passed; true when all is written.
    bool flush(std::chrono::milliseconds patience);
    /// Writes what is queued within patience and ends the writer. A writer that is done
    /// in time is ended and later lines are written by their callers directly (nothing
    /// else writes any more: this is for the process's exit); one still stuck in the
    /// stream is left to it, and later lines are dropped.
    void finish(std::chrono::milliseconds patience);

    /// The text of one value as a line shows it (quoted where needed).
    static std::string quoted(std::string_view value);

private:
    void emit(LogLevel level, const std::string& fields);
    void writeOut();

    std::ostream& out_;
    std::atomic<LogLevel> threshold_;
    const std::size_t capacity_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;      // the writer: lines queued, or finish()
    std::condition_variable progress_;  // flush() and finish(): lines written, writer gone
    std::vector<std::string> queue_;
    std::size_t queuedBytes_ = 0;
    std::size_t accepted_ = 0;  // lines queued so far
    std::size_t written_ = 0;   // of those, written out
    long dropped_ = 0;          // since the writer last took the queue
    bool hurry_ = false;  // write what is queued now, without waiting for the round
    bool stopping_ = false;
    bool exited_ = false;
    enum class Writer { None, Running, Ended, Abandoned } writer_ = Writer::None;
    std::thread thread_;
};

/// The process's log on standard error, level info until told otherwise. Never
/// destroyed: at the process's exit it writes what is queued, giving a stalled standard
/// error a few seconds at most.
Log& standardLog();

}  // namespace server
