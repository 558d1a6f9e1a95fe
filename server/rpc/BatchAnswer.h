#pragma once
// The answer line of a batch, built element by element within a size limit.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace server {

/// Holds the answers of a batch's elements, comma-separated, up to a limit of bytes (the
/// refusals of the calls left out aside, some dozens of bytes each). Once
/// an answer would pass the limit the batch is closed: that answer and every later call's
/// are replaced by an error that names the limit, and the calls are not run. A store's
/// answer is always kept, as the store has happened. No I/O.
class BatchAnswer {
public:
    /// answered: the answers given before any call ran (errors, rpc.auth, rpc.hello),
    /// comma-separated; they are kept whatever their size.
    BatchAnswer(std::size_t limit, std::string answered);

    /// True while calls may still run.
    bool open() const { return open_; }
    /// Adds the answer of a call that ran. A lookup's answer that does not fit is
    /// replaced by the refusal under id, and the batch closes.
    void add(const nlohmann::json& id, std::string_view answer, bool store);
    /// Answers a call that was not run, because the batch is closed.
    void refuse(const nlohmann::json& id);
    /// The refusal's text.
    std::string refusal() const;
    /// The batch's answer line, or nullopt when no element had an answer.
    std::optional<std::string> take();

private:
    void append(std::string_view answer);

    std::size_t limit_;
    std::string elements_;
    bool open_ = true;
};

}  // namespace server
