#include "server/rpc/PriceService.h"

#include "protocol/JsonRpc.h"
#include "protocol/ValueCodec.h"
#include "server/rpc/MethodTable.h"
#include "server/rpc/StoreCallError.h"
#include "server/service/Refusal.h"

namespace server {

namespace {

using nlohmann::json;

// The method named, its params checked against its description.
const wire::MethodDescription& checked(const std::string& method, const json& params) {
    const wire::MethodDescription* described = wire::findMethod(method);
    if (described == nullptr) {
        throw wire::RpcError(wire::rpc::kMethodNotFound, "Método desconhecido: " + method + ".");
    }
    wire::checkParams(*described, params);
    return *described;
}

}  // namespace

PriceService::PriceService(std::unique_ptr<RuleStore> store) : access_(std::move(store)) {}

PriceService::PriceService(std::vector<std::unique_ptr<RuleStore>> stores)
    : access_(std::move(stores)) {}

json PriceService::call(const std::string& method, const json& params, Clock::time_point deadline,
                        const RuleStore::Caller& caller) {
    return callChecked(checked(method, params), params, deadline, caller);
}

std::string PriceService::callText(const std::string& method, const json& params,
                                   Clock::time_point deadline, const RuleStore::Caller& caller) {
    return callTextChecked(checked(method, params), params, deadline, caller);
}

json PriceService::callChecked(const wire::MethodDescription& method, const json& params,
                               Clock::time_point deadline, const RuleStore::Caller& caller) {
    const MethodRoute& route = methodRoute(method.id);
    json result;
    guarded(method, deadline, caller, [&](RuleStore& store) {
        result = route.handler(MethodContext{store, params});
    });
    return result;
}

std::string PriceService::callTextChecked(const wire::MethodDescription& method, const json& params,
                                          Clock::time_point deadline,
                                          const RuleStore::Caller& caller, bool mayWait) {
    const MethodRoute& route = methodRoute(method.id);
    std::string text;
    guarded(method, deadline, caller, [&](RuleStore& store) {
        const MethodContext context{store, params, mayWait};
        text = route.text != nullptr ? route.text(context) : wire::dumpJson(route.handler(context));
    });
    return text;
}

void PriceService::guarded(const wire::MethodDescription& method, Clock::time_point deadline,
                           const RuleStore::Caller& caller,
                           const std::function<void(RuleStore&)>& work) {
    const auto access = method.writes ? StoreAccess::Access::Write : StoreAccess::Access::Read;
    try {
        access_.run(access, deadline, caller, work);
    } catch (const Refusal& e) {
        throw wire::RpcError(
            e.reason() == Refusal::Reason::Rule ? wire::rpc::kRefused : wire::rpc::kInvalidParams,
            e.what());
    } catch (const StoreError& e) {
        throw StoreCallError(e.kind(), method.name, e);
    }
}

long PriceService::countRules() {
    return access_.countRules();
}

void PriceService::interrupt() {
    access_.interrupt();
}

}  // namespace server
