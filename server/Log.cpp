#include "Log.h"

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

Log::Log(std::ostream& out, LogLevel threshold) : out_(out), threshold_(threshold) {}

void Log::write(LogLevel level, std::string_view text) {
    if (!enabled(level)) {
        return;
    }
    std::string line = utcNow() + ' ' + levelName(level) + ' ';
    line.reserve(line.size() + text.size() + 1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n' || c == '\r') {
            if (i + 1 < text.size()) {
                line += " | ";
            }
        } else {
            line += c;
        }
    }
    line += '\n';
    std::lock_guard lock(mutex_);
    out_ << line << std::flush;
}

Log& standardLog() {
    static Log log(std::cerr);
    return log;
}

}  // namespace server
