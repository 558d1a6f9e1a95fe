#include "server/ops/Log.h"

#include <cerrno>
#include <chrono>
#include <ctime>
#include <streambuf>
#include <string>
#include <system_error>
#include <utility>

#include <unistd.h>

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

// Standard error written with write(2) itself, unbuffered: a writer stuck in a stalled
// standard error then holds no lock of the C library's, which the process's exit takes to
// flush std::cerr.
class StandardError : public std::streambuf {
protected:
    std::streamsize xsputn(const char* text, std::streamsize size) override {
        std::streamsize done = 0;
        while (done < size) {
            const ssize_t n = ::write(STDERR_FILENO, text + done, static_cast<std::size_t>(size - done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            done += n;
        }
        return done;
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        const char one = traits_type::to_char_type(c);
        return xsputn(&one, 1) == 1 ? c : traits_type::eof();
    }
};

std::string droppedNote(long dropped) {
    return utcNow() + ' ' + levelName(LogLevel::Warning) +
           " event=log-lines-dropped count=" + std::to_string(dropped) + '\n';
}

}  // namespace

std::optional<LogLevel> parseLogLevel(std::string_view name) {
    if (name == "error") return LogLevel::Error;
    if (name == "warning" || name == "warn") return LogLevel::Warning;
    if (name == "info") return LogLevel::Info;
    if (name == "debug") return LogLevel::Debug;
    return std::nullopt;
}

Log::Log(std::ostream& out, LogLevel threshold, std::size_t capacity)
    : out_(out), threshold_(threshold), capacity_(capacity) {}

Log::~Log() {
    finish(std::chrono::hours(24 * 365));
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
    std::unique_lock lock(mutex_);
    switch (writer_) {
        case Writer::Ended:
            out_ << line << std::flush;
            return;
        case Writer::Abandoned:
            return;
        case Writer::None:
            // The thread is started by the first line: a command that logs nothing never
            // has one.
            try {
                thread_ = std::thread([this] { writeOut(); });
            } catch (const std::system_error&) {
                ++dropped_;  // no thread to be had now: the next line tries again
                return;
            }
            writer_ = Writer::Running;
            break;
        case Writer::Running:
            break;
    }
    if (queuedBytes_ + line.size() > capacity_) {
        ++dropped_;
        return;
    }
    // An idle writer waits for the first line; one with lines queued already is in its
    // round and takes this one with them, unless this one cannot wait.
    const bool idle = queue_.empty() && dropped_ == 0;
    if (dropped_ > 0) {
        queue_.push_back(droppedNote(std::exchange(dropped_, 0)));
        ++accepted_;
    }
    queuedBytes_ += line.size();
    queue_.push_back(std::move(line));
    ++accepted_;
    const bool urgent = level <= LogLevel::Warning || queuedBytes_ >= capacity_ / 4;
    if (!idle && !urgent) {
        return;
    }
    hurry_ = hurry_ || urgent;
    lock.unlock();
    wake_.notify_one();
}

// The writer takes the whole queue at once, so the stream is written without the lock and
// callers queue meanwhile. A count still open when it takes the queue is of lines dropped
// after every line queued (a line queued later writes the count before itself), so it is
// written after them.
void Log::writeOut() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return !queue_.empty() || dropped_ > 0 || stopping_; });
        wake_.wait_for(lock, kPace, [this] { return hurry_ || stopping_; });
        if (queue_.empty() && dropped_ == 0) {
            break;
        }
        hurry_ = false;
        std::vector<std::string> batch;
        batch.swap(queue_);
        queuedBytes_ = 0;
        const long dropped = std::exchange(dropped_, 0);
        lock.unlock();
        for (const std::string& line : batch) {
            out_ << line;
        }
        if (dropped > 0) {
            out_ << droppedNote(dropped);
        }
        out_ << std::flush;
        out_.clear();  // a write that failed (a full non-blocking pipe) spoils no later line
        lock.lock();
        written_ += batch.size();
        progress_.notify_all();
    }
    exited_ = true;
    progress_.notify_all();
}

bool Log::flush(std::chrono::milliseconds patience) {
    std::unique_lock lock(mutex_);
    if (writer_ != Writer::Running) {
        return writer_ != Writer::Abandoned;
    }
    const std::size_t target = accepted_;
    hurry_ = true;
    wake_.notify_one();
    return progress_.wait_for(lock, patience, [&] { return written_ >= target; });
}

void Log::finish(std::chrono::milliseconds patience) {
    std::unique_lock lock(mutex_);
    if (writer_ == Writer::None) {
        writer_ = Writer::Ended;
    }
    if (writer_ != Writer::Running) {
        return;
    }
    stopping_ = true;
    wake_.notify_one();
    if (progress_.wait_for(lock, patience, [this] { return exited_; })) {
        writer_ = Writer::Ended;
        lock.unlock();
        thread_.join();
    } else {
        // Still stuck in the stream: it keeps this log (never destroyed then) until the
        // process ends.
        writer_ = Writer::Abandoned;
        thread_.detach();
    }
}

Log& standardLog() {
    // Never destroyed: a writer stuck in a stalled standard error at the exit may still
    // use it, and a static destroyed later may still log.
    static Log* const log = new Log(*new std::ostream(new StandardError));
    static const struct Drain {
        ~Drain() { log->finish(std::chrono::seconds(3)); }
    } drain;
    return *log;
}

}  // namespace server
