#include "CallRecorder.h"

#include <nlohmann/json.hpp>

namespace tools {

void CallRecorder::record(const std::string& method, const std::string& argsJson) {
    lastArgs_[shortName(method)] = argsJson;
}

std::optional<std::string> CallRecorder::mismatch(const std::string& method, std::size_t position,
                                                  const std::string& expectedJson) const {
    const std::string name = shortName(method);
    auto call = lastArgs_.find(name);
    if (call == lastArgs_.end())
        return "no call of " + name + " was made";
    auto params = nlohmann::json::parse(call->second, nullptr, false);
    if (params.is_discarded() || !params.is_array()) {
        return "the arguments of " + name + " are not a JSON array: " + call->second;
    }
    if (position == 0 || position > params.size()) {
        return name + " was called with " + std::to_string(params.size()) + " arguments, not " +
               std::to_string(position);
    }
    auto expected = nlohmann::json::parse(expectedJson, nullptr, false);
    if (expected.is_discarded())
        return "the expected argument is not JSON: " + expectedJson;
    const auto& actual = params[position - 1];
    if (actual == expected)
        return std::nullopt;
    return "argument " + std::to_string(position) + " of " + name + " was " + actual.dump() +
           ", not " + expected.dump();
}

std::string CallRecorder::shortName(const std::string& method) {
    std::size_t dot = method.rfind('.');
    return dot == std::string::npos ? method : method.substr(dot + 1);
}

}  // namespace tools
