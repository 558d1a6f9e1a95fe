#pragma once
// What one method of the remote object is run with.

#include <string>

#include <nlohmann/json.hpp>

#include "server/service/DataReads.h"
#include "server/store/RuleStore.h"

namespace server {

/// A call's store (told who makes the call) and its checked positional params: they
/// have the count and the forms their method's description gives (wire::checkParams).
struct MethodContext {
    RuleStore& store;
    const nlohmann::json& params;
    /// A method that waits (wire::MethodDescription::waits) may throw NothingNewYet
    /// instead of answering that nothing is new: its caller then waits for a change.
    bool mayWait = false;
    /// What the server holds in memory (none: everything is read from the store), and
    /// its generation before the call's reads began.
    HeldData* held = nullptr;
    HeldData::Generation seen = 0;

    /// The reads of reference data, periods, holidays and a product's prices and rules,
    /// from memory where held.
    DataReads reads() const { return DataReads(store, held, seen); }
};

/// A method of the remote object: its answer, or an exception (wire::RpcError for an
/// argument it refuses, Refusal for what the service refuses, StoreError when the
/// database fails).
using MethodHandler = nlohmann::json (*)(const MethodContext&);
/// A method whose answer is large: it writes the answer's JSON text itself (compact, byte
/// for byte what wire::dumpJson of its JSON form gives), without a JSON tree.
using TextMethodHandler = std::string (*)(const MethodContext&);

}  // namespace server
