#include "server/service/PriceService.h"

#include <stdexcept>

#include "server/methods/PriceMethods.h"
#include "server/methods/ReferenceMethods.h"
#include "server/methods/RuleMethods.h"
#include "server/rpc/StoreCallError.h"
#include "server/service/TransientFailure.h"
#include "protocol/JsonRpc.h"
#include "protocol/Methods.h"
#include "protocol/ValueCodec.h"

namespace server {

namespace {

using nlohmann::json;

// The handler of every method the object's description lists.
struct Route {
    std::string_view name;
    MethodHandler handler;
    TextMethodHandler text = nullptr;  ///< the answer written as text, where it is large
};
constexpr Route kRoutes[] = {
    {"SetPrecDif", setPrecDif},
    {"SimPrecDif", simPrecDif},
    {"GetFilial", getFilial},
    {"GetTabePrec", getTabePrec},
    {"getVigencia", getVigencia},
    {"GetPrecoVigente", getPrecoVigente},
    {"GetPrecosVigentes", getPrecosVigentes, getPrecosVigentesText},
    {"GetPrecDif", getPrecDif},
    {"DelPrecDif", delPrecDif},
    {"GetPrecDifHist", getPrecDifHist},
    {"GetFeriado", getFeriado},
};

}  // namespace

PriceService::PriceService(std::unique_ptr<RuleStore> store) : store_(std::move(store)) {}


json PriceService::call(const std::string& method, const json& params,
                        Clock::time_point deadline, const RuleStore::Caller& caller) {
    return guarded(method, params, deadline, caller, Form::Json);
}

std::string PriceService::callText(const std::string& method, const json& params,
                                   Clock::time_point deadline, const RuleStore::Caller& caller) {
    json text = guarded(method, params, deadline, caller, Form::Text);
    return std::move(text.get_ref<std::string&>());
}

json PriceService::guarded(const std::string& method, const json& params,
                           Clock::time_point deadline, const RuleStore::Caller& caller,
                           Form form) {
    std::unique_lock lock(mutex_, std::defer_lock);
    if (!lock.try_lock_until(deadline)) {
        // The call before this one still waits for the database.
        throw StoreCallError(StoreFailure::Timeout, method,
                             StoreError(StoreFailure::Timeout,
                                        "Chamada anterior ainda aguarda o banco de dados"));
    }
    store_->setDeadline(deadline);
    for (int attempt = 1;; ++attempt) {
        try {
            return run(method, params, caller, form);
        } catch (const TransientStoreError& e) {
            throw TransientCallError(method, e);  // rolled back whole: may be tried again
        } catch (const StoreError& e) {
            // A connection the database closed under us (it restarted) is opened again
            // by the next statement; the call is made once more when nothing of it can
            // have taken effect: every lookup, and a store that never reached COMMIT.
            if (e.kind() == StoreFailure::Lost && !e.duringCommit() && attempt == 1) {
                continue;
            }
            throw StoreCallError(e.kind(), method, e);
        }
    }
}

json PriceService::run(const std::string& method, const json& params,
                       const RuleStore::Caller& caller, Form form) {
    const wire::MethodDescription* described = wire::findMethod(method);
    if (described == nullptr) {
        throw wire::RpcError(wire::rpc::kMethodNotFound, "Método desconhecido: " + method + ".");
    }
    wire::checkParams(*described, params);
    store_->setCaller(caller);
    for (const Route& route : kRoutes) {
        if (route.name != described->name) {
            continue;
        }
        const MethodContext context{*store_, params};
        auto answer = [&]() -> json {
            if (form == Form::Json) {
                return route.handler(context);
            }
            return route.text != nullptr ? route.text(context)
                                         : wire::dumpJson(route.handler(context));
        };
        if (described->writes) {
            return answer();
        }
        json result;
        store_->readTogether([&] { result = answer(); });
        return result;
    }
    throw wire::RpcError(wire::rpc::kMethodNotFound, "Método desconhecido: " + method + ".");
}

long PriceService::countRules() {
    std::lock_guard lock(mutex_);
    store_->setDeadline(Clock::time_point::max());
    return store_->countRules();
}

void PriceService::interrupt() {
    store_->interrupt();
}

}  // namespace server
