#pragma once
// The remote object "Vnd42400.rdmTabePreco": its methods over the storage.

#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

#include "server/store/RuleStore.h"

namespace server {

/// Runs one method call at a time against the store (calls from many connections are
/// serialised here), each within its deadline. Thread-safe.
class PriceService {
public:
    explicit PriceService(std::unique_ptr<RuleStore> store);

    using Clock = std::chrono::steady_clock;

    /// Runs the method with the positional params and gives the JSON result; waiting for
    /// an earlier call and for the database ends at deadline. A connection to the
    /// database that broke under the call is opened again and the call made once more.
    /// Throws wire::RpcError: kMethodNotFound, kInvalidParams (argument count or type),
    /// kRefused (a rule that may not be stored), or StoreCallError (kInternalError: the
    /// database failed or did not answer in time; TransientCallError when another writer
    /// was in the way).
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
    /// Rows in PRECDIF.
    long countRules();
    /// Abandons the call under way and every later one (the server is stopping): they
    /// fail as interrupted, their transactions rolled back. Callable from any thread.
    void interrupt();

private:
    enum class Form { Json, Text };
    /// The result in the form asked for: a json, or a json string holding the JSON text.
    nlohmann::json guarded(const std::string& method, const nlohmann::json& params,
                           Clock::time_point deadline, const RuleStore::Caller& caller, Form form);
    nlohmann::json run(const std::string& method, const nlohmann::json& params,
                       const RuleStore::Caller& caller, Form form);

    std::timed_mutex mutex_;
    std::unique_ptr<RuleStore> store_;
};

}  // namespace server
