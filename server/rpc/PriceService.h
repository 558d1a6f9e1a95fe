#pragma once
// The remote object "Vnd42400.rdmTabePreco": its methods over one store.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "protocol/Methods.h"
#include "server/service/HeldData.h"
#include "server/service/StoreAccess.h"

namespace server {

/// Runs the object's methods against its stores, one call at a time on each (over one
/// store, calls from many connections are serialised here), each within its deadline, and
/// tells their failures in the screen's words. Thread-safe.
class PriceService {
public:
    explicit PriceService(std::unique_ptr<RuleStore> store);
    /// Over several connections to one database, for calls that only read: as many run
    /// at once.
    explicit PriceService(std::vector<std::unique_ptr<RuleStore>> stores);

    using Clock = StoreAccess::Clock;

    /// Runs the method (its short name, letter case ignored) with the positional params
    /// and gives the JSON result; waiting for a free store and for the database ends at
    /// deadline. A connection to the database that broke under the call is opened again
    /// and the call made once more; a store that another writer was in the way of is made
    /// again. Throws wire::RpcError: kMethodNotFound, kInvalidParams (argument count or
    /// form, or a code that is not stored), kRefused (a rule that may not be stored), or
    /// StoreCallError (kInternalError: the database failed or did not answer in time).
    /// caller: who the call is made for, written into the history of what it changes.
    nlohmann::json call(const std::string& method, const nlohmann::json& params,
                        Clock::time_point deadline = Clock::time_point::max(),
                        const RuleStore::Caller& caller = {});
    /// The same call with its result as compact JSON text (what wire::dumpJson of call's
    /// result gives): a method that writes its large answer itself never builds the JSON
    /// tree of it.
    std::string callText(const std::string& method, const nlohmann::json& params,
                         Clock::time_point deadline = Clock::time_point::max(),
                         const RuleStore::Caller& caller = {});
    /// The same two for params that wire::checkParams has accepted for method already:
    /// they are not walked again.
    nlohmann::json callChecked(const wire::MethodDescription& method, const nlohmann::json& params,
                               Clock::time_point deadline, const RuleStore::Caller& caller);
    /// mayWait: a method that waits may throw NothingNewYet instead of answering.
    std::string callTextChecked(const wire::MethodDescription& method, const nlohmann::json& params,
                                Clock::time_point deadline, const RuleStore::Caller& caller,
                                bool mayWait = false);
    /// The answer of a method whose route may answer from memory (MethodRoute::held), from
    /// what held holds alone, never waiting for the database; nullopt when it needs the
    /// database (or nothing is held). Throws wire::RpcError as callTextChecked does.
    std::optional<std::string> answerHeld(const wire::MethodDescription& method,
                                          const nlohmann::json& params);
    /// From now on reads take what held holds and offer it what they read.
    void holdIn(std::shared_ptr<HeldData> held) { held_ = std::move(held); }
    /// Rows in PRECDIF.
    long countRules();
    /// The database connections calls run on.
    std::size_t connections() const { return access_.size(); }
    /// Abandons the call under way and every later one (the server is stopping): they
    /// fail as interrupted, their transactions rolled back. Callable from any thread.
    void interrupt();

private:
    /// Runs work for the method; the service's refusals and the database's failures
    /// leave as the wire errors the screen is told.
    void guarded(const wire::MethodDescription& method, Clock::time_point deadline,
                 const RuleStore::Caller& caller, const std::function<void(RuleStore&)>& work);

    StoreAccess access_;
    std::shared_ptr<HeldData> held_;
};

}  // namespace server
