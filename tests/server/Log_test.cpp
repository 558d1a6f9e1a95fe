// The log as a caller meets it: it never waits for its stream, and what it had to drop is
// said in the stream once it flows again.

#include <condition_variable>
#include <future>
#include <mutex>
#include <regex>
#include <sstream>
#include <streambuf>
#include <string>

#include <gtest/gtest.h>

#include "server/ops/Log.h"
#include "server/ops/Occurrences.h"

namespace {

using namespace std::chrono_literals;

// A stream that takes nothing until opened, as a pipe nobody reads.
class Gate : public std::streambuf {
public:
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        opened_.notify_all();
    }
    std::string text() {
        std::lock_guard lock(mutex_);
        return text_;
    }

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        std::unique_lock lock(mutex_);
        opened_.wait(lock, [this] { return open_; });
        text_.append(s, static_cast<std::size_t>(n));
        return n;
    }
    int_type overflow(int_type c) override {
        const char one = traits_type::to_char_type(c);
        return xsputn(&one, 1) == 1 ? c : traits_type::eof();
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
    std::string text_;
};

TEST(Log, AStalledStreamStallsNoCallerAndDroppedLinesAreCounted) {
    Gate gate;
    std::ostream stream(&gate);
    {
        server::Log log(stream, server::LogLevel::Info, 1000);
        auto logging = std::async(std::launch::async, [&] {
            for (int i = 0; i < 100; ++i) {
                log.event(server::LogLevel::Info, "call", {{"n", std::to_string(i)}});
            }
        });
        const bool returned = logging.wait_for(2s) == std::future_status::ready;
        gate.open();
        ASSERT_TRUE(returned) << "a caller waited for the stream";
        ASSERT_TRUE(log.flush(5s));  // the queue drains once the stream flows
        log.warning("after the stall");
        ASSERT_TRUE(log.flush(5s));
    }
    // Every line whole and in its format, the line logged after the stall last; before it
    // the calls in order, each gap in them preceded by the count of the lines missing.
    const std::regex format(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z (INFO |WARN ) (.*))");
    const std::regex call(R"(event=call n=(\d+))");
    const std::regex note(R"(event=log-lines-dropped count=(\d+))");
    std::istringstream lines(gate.text());
    std::vector<std::string> fields;
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, format)) << line;
        fields.push_back(m[2]);
    }
    ASSERT_FALSE(fields.empty());
    EXPECT_EQ(fields.back(), "msg=\"after the stall\"");
    int next = 0;
    int notes = 0;
    for (std::size_t i = 0; i + 1 < fields.size(); ++i) {
        std::smatch m;
        if (std::regex_match(fields[i], m, note)) {
            next += std::stoi(m[1]);
            ++notes;
        } else {
            ASSERT_TRUE(std::regex_match(fields[i], m, call)) << fields[i];
            EXPECT_EQ(std::stoi(m[1]), next) << "a gap not counted where it is";
            ++next;
        }
    }
    EXPECT_EQ(next, 100);
    EXPECT_GE(notes, 1);
}

// A clerk's "Ocorrência" names one failure of one server: two servers, or one server's two
// starts, never hand out the same names, and each counts its own from 1.
TEST(Occurrences, NamesAreNotRepeatedByAnotherRun) {
    server::Occurrences first, second;
    const std::string a = first.next();
    EXPECT_TRUE(std::regex_match(a, std::regex("[0-9a-z]{6}-1"))) << a;
    EXPECT_NE(second.next(), a);
    EXPECT_EQ(first.next(), a.substr(0, 7) + "2");
}

}  // namespace
