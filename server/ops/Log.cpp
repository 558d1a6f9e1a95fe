#include "server/ops/Log.h"

#include <chrono>
#include <ctime>
#include <iostream>
#include <string>

namespace server {

namespace {

const char* levelName(LogLevel level) {
    switch (level) {
        case LogLevel::Error: return "ERROR";
        case LogLevel::Warning: return "WARN ";
        case LogLevel::Info: return "INFO ";
        case LogLevel::Debug: return "DEBUG";
    }
    return "?    ";
}

std::string utcNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(
                            now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char buffer[40];
    const std::size_t n = std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &utc);
    std::string text(buffer, n);
    const std::string ms = std::to_string(millis);
    text += '.' + std::string(3 - ms.size(), '0') + ms + 'Z';
    return text;
}

}  // namespace

std::optional<LogLevel> parseLogLevel(std::string_view name) {
    if (name == "error") return LogLevel::Error;
    if (name == "warning" || name == "warn") return LogLevel::Warning;
    if (name == "info") return LogLevel::Info;
    if (name == "debug") return LogLevel::Debug;
    return std::nullopt;
}

Log::Log(std::ostream& out, LogLevel threshold) : out_(out), threshold_(threshold) {}

bool Log::enabled(LogLevel level) const {
    std::lock_guard lock(mutex_);
    return level <= threshold_;
}

void Log::setThreshold(LogLevel threshold) {
    std::lock_guard lock(mutex_);
    threshold_ = threshold;
}

std::string Log::quoted(std::string_view value) {
    // Quoting only where needed keeps the common fields (method=GetFilial ms=3) easy to
    // grep, while a message with blanks still reads back as one value.
    const bool plain = !value.empty() && value.find_first_of(" \t\"=\\\r\n") == std::string::npos;
    if (plain) {
        return std::string(value);
    }
    std::string text = "\"";
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\n' || c == '\r') {
            if (i + 1 < value.size() && value[i + 1] != '\n' && value[i + 1] != '\r') {
                text += " | ";
            }
        } else if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else {
            text += c;
        }
    }
    return text + '"';
}

void Log::event(LogLevel level, std::string_view name, std::initializer_list<LogField> fields) {
    if (!enabled(level)) {
        return;
    }
    std::string text = "event=" + quoted(name);
    for (const LogField& field : fields) {
        text += ' ';
        text += field.key;
        text += '=';
        text += quoted(field.value);
    }
    emit(level, text);
}

void Log::write(LogLevel level, std::string_view text) {
    if (!enabled(level)) {
        return;
    }
    emit(level, "msg=" + quoted(text));
}

void Log::emit(LogLevel level, const std::string& fields) {
    std::string line = utcNow() + ' ' + levelName(level) + ' ' + fields + '\n';
    std::lock_guard lock(mutex_);
    out_ << line << std::flush;
}

Log& standardLog() {
    static Log log(std::cerr);
    return log;
}

}  // namespace server
