#include "server/rpc/PriceService.h"

#include "protocol/JsonRpc.h"
#include "protocol/ValueCodec.h"
#include "server/rpc/MethodTable.h"
#include "server/rpc/StoreCallError.h"
#include "server/service/HeldOnlyStore.h"
#include "server/service/NotHeld.h"
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

// The service's refusals as the wire errors the screen is told.
[[noreturn]] void refused(const Refusal& e) {
    throw wire::RpcError(
        e.reason() == Refusal::Reason::Rule ? wire::rpc::kRefused : wire::rpc::kInvalidParams,
        e.what());
}

// The text of a route's answer.
std::string answerText(const MethodRoute& route, const MethodContext& context) {
    return route.text != nullptr ? route.text(context) : wire::dumpJson(route.handler(context));
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
        const MethodContext context{store, params};
        result = route.text != nullptr ? json::parse(route.text(context)) : route.handler(context);
    });
    return result;
}

std::string PriceService::callTextChecked(const wire::MethodDescription& method, const json& params,
                                          Clock::time_point deadline,
                                          const RuleStore::Caller& caller, bool mayWait) {
    const MethodRoute& route = methodRoute(method.id);
    std::string text;
    // Taken before the call's transaction begins: what it reads is held only if nothing
    // was dropped meanwhile.
    HeldData* held = method.writes ? nullptr : held_.get();
    const HeldData::Generation seen = held != nullptr ? held->generation() : 0;
    guarded(method, deadline, caller, [&](RuleStore& store) {
        text = answerText(route, MethodContext{store, params, mayWait, held, seen});
    });
    return text;
}

std::optional<std::string> PriceService::answerHeld(const wire::MethodDescription& method,
                                                    const json& params) {
    const MethodRoute& route = methodRoute(method.id);
    if (held_ == nullptr || !route.held || method.writes) {
        return std::nullopt;
    }
    HeldOnlyStore none;
    try {
        return answerText(route,
                          MethodContext{none, params, false, held_.get(), held_->generation()});
    } catch (const NotHeld&) {
        return std::nullopt;
    } catch (const Refusal& e) {
        refused(e);
    }
}

void PriceService::guarded(const wire::MethodDescription& method, Clock::time_point deadline,
                           const RuleStore::Caller& caller,
                           const std::function<void(RuleStore&)>& work) {
    const auto access = method.writes ? StoreAccess::Access::Write : StoreAccess::Access::Read;
    try {
        access_.run(access, deadline, caller, work);
    } catch (const Refusal& e) {
        refused(e);
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
