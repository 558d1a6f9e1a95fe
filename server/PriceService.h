#pragma once
// The remote object "Vnd42400.rdmTabePreco": its four methods over the storage.

#include <memory>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

#include "RuleStore.h"

namespace server {

/// Runs one method call at a time against the store (calls from many connections are
/// serialised here). Thread-safe.
class PriceService {
public:
    explicit PriceService(std::unique_ptr<RuleStore> store);

    /// True for GetFilial, GetTabePrec, getVigencia and SetPrecDif (letter case ignored).
    static bool hasMethod(const std::string& method);
    /// Runs the method with the positional params and gives the JSON result. Throws
    /// wire::RpcError: kMethodNotFound, kInvalidParams (argument count or type), kRefused
    /// (a rule that may not be stored) or kInternalError (the database failed).
    nlohmann::json call(const std::string& method, const nlohmann::json& params);
    /// Rows in PRECDIF.
    long countRules();

private:
    nlohmann::json getFilial(const nlohmann::json& params);
    nlohmann::json getTabePrec(const nlohmann::json& params);
    nlohmann::json getVigencia(const nlohmann::json& params);
    nlohmann::json setPrecDif(const nlohmann::json& params);

    std::mutex mutex_;
    std::unique_ptr<RuleStore> store_;
};

}  // namespace server
