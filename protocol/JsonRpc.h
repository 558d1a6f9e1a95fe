#pragma once
// JSON-RPC 2.0 messages as single lines of text: building and reading them, no I/O.

#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>

#include <nlohmann/json.hpp>

#include "Value.h"

namespace wire {

/// Error codes of JSON-RPC 2.0, and the one this system uses for a refused call.
namespace rpc {
inline constexpr int kParseError = -32700;
inline constexpr int kInvalidRequest = -32600;
inline constexpr int kMethodNotFound = -32601;
inline constexpr int kInvalidParams = -32602;
inline constexpr int kInternalError = -32603;
inline constexpr int kRefused = -32000;  ///< the server understood the call and refused it
/// The connection did not authenticate (no token, or a wrong one); it is closed.
inline constexpr int kUnauthorized = -32001;
/// Used by the client for failures that never reached the server (connection, timeout).
inline constexpr int kTransportError = -32099;
}  // namespace rpc

/// The deepest nesting of arrays and objects a message may have. The deepest message of
/// this protocol (a data packet inside the params) is five levels deep; the margin leaves
/// room to grow, and the bound keeps recursive walks of a hostile message shallow.
inline constexpr std::size_t kMaxJsonDepth = 32;

/// The deepest nesting of arrays and objects in a JSON text, counted without parsing it
/// (brackets inside strings are skipped). Malformed text gives a number all the same.
std::size_t jsonDepth(std::string_view text);

/// A failure of a call, carried to the peer as a JSON-RPC error with this code and text.
class RpcError : public std::runtime_error {
public:
    RpcError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

/// The notification in which a client names its user and workstation; the one method
/// whose params are named (an object) rather than positional.
inline constexpr std::string_view kHelloMethod = "rpc.hello";

/// Most requests one batch line may hold.
inline constexpr std::size_t kMaxBatch = 1000;

/// A well-formed request. params is an array (absent params read as []), or an object
/// for kHelloMethod.
struct Request {
    nlohmann::json id;          ///< string, number or null
    bool notification = false;  ///< no "id" member: no answer is expected
    std::string method;
    nlohmann::json params = nlohmann::json::array();
};

/// A request that cannot be carried out, with the id to answer it under (null when the
/// id itself could not be read).
struct RequestError {
    nlohmann::json id;
    int code = rpc::kInvalidRequest;
    std::string message;
};

/// Reads one line as a request: malformed JSON gives kParseError, anything that is not a
/// single request object with a method and positional params (named ones for
/// kHelloMethod, letter case ignored) gives kInvalidRequest or kInvalidParams; so does a
/// line nested deeper than kMaxJsonDepth (kInvalidRequest).
std::variant<Request, RequestError> parseRequest(std::string_view line);
/// The same for a message already parsed (an element of a batch). Its id and params are
/// moved into the request, not copied: pass it with std::move where it is not needed
/// after.
std::variant<Request, RequestError> readRequest(nlohmann::json message);

/// True when the line is a batch: its first byte other than JSON blanks is "[". This is
/// all a single request pays for batches.
bool isBatch(std::string_view line);
/// Reads a batch line: the array of its elements, unchecked (each goes to readRequest),
/// or the one error that answers the whole line: kParseError for malformed JSON,
/// kInvalidRequest for a line nested deeper than kMaxJsonDepth, an empty array or one of
/// more than maxElements elements.
std::variant<nlohmann::json, RequestError> parseBatch(std::string_view line,
                                                      std::size_t maxElements = kMaxBatch);

/// The line of a request (without the ending "\n").
std::string encodeRequest(const nlohmann::json& id, const std::string& method,
                          const nlohmann::json& params);
/// The line of a notification: a request without an id, which gets no answer.
std::string encodeNotification(std::string_view method, const nlohmann::json& params);
/// The line of a successful answer.
std::string encodeResult(const nlohmann::json& id, const nlohmann::json& result);
/// The line of an error answer.
std::string encodeError(const nlohmann::json& id, int code, const std::string& message);

/// Reads one answer line for the request with expectedId: its decoded result, or a
/// failure with the server's code and message. A line that is not a well-formed answer
/// to that request (also one nested deeper than kMaxJsonDepth) gives a failure with
/// kParseError and a Portuguese text.
CallResult parseResponse(std::string_view line, const nlohmann::json& expectedId);

}  // namespace wire
