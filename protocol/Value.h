#pragma once
// A typed value of a remote call: an argument or a result.

#include <cstdint>
#include <string>
#include <variant>

#include <nlohmann/json.hpp>

#include "DataPacket.h"
#include "Date.h"

namespace wire {

/// Null stands for an empty Variant. Json carries any other structured result (the
/// store's {"stored":N,"replaced":M}).
using Value = std::variant<std::monostate, bool, std::int64_t, double, std::string, Date,
                           DataPacket, nlohmann::json>;

/// The outcome of one remote call: a result value, or an error with its message.
struct CallResult {
    bool ok = false;
    Value value;               ///< the result when ok
    int errorCode = 0;         ///< JSON-RPC error code when not ok
    std::string errorMessage;  ///< the Portuguese text shown to the user when not ok

    static CallResult success(Value v) { return {true, std::move(v), 0, {}}; }
    static CallResult failure(int code, std::string message) {
        return {false, {}, code, std::move(message)};
    }
};

}  // namespace wire
