#include "server/rpc/MethodTable.h"

#include <array>
#include <stdexcept>

#include "server/methods/PriceMethods.h"
#include "server/methods/ReferenceMethods.h"
#include "server/methods/RuleMethods.h"
#include "server/methods/TillMethods.h"

namespace server {

namespace {

using wire::MethodId;

// Every id has its case: one left out fails the build of the table below (a throw is no
// constant expression), and the compiler warns of it here too.
constexpr MethodRoute routeFor(MethodId id) {
    switch (id) {
        case MethodId::SetPrecDif:
            return {setPrecDif};
        case MethodId::SimPrecDif:
            return {simPrecDif};
        case MethodId::GetFilial:
            return {nullptr, getFilialText, true};
        case MethodId::GetTabePrec:
            return {nullptr, getTabePrecText, true};
        case MethodId::GetVigencia:
            return {nullptr, getVigenciaText, true};
        case MethodId::GetPrecoVigente:
            return {nullptr, getPrecoVigenteText, true};
        case MethodId::GetPrecosVigentes:
            return {nullptr, getPrecosVigentesText};
        case MethodId::GetPrecDif:
            return {getPrecDif};
        case MethodId::DelPrecDif:
            return {delPrecDif};
        case MethodId::GetPrecDifHist:
            return {getPrecDifHist};
        case MethodId::GetFeriado:
            return {nullptr, getFeriadoText, true};
        case MethodId::GetAlteracoes:
            return {getAlteracoes};
        case MethodId::GetDadosPreco:
            return {getDadosPreco};
    }
    throw std::logic_error("a described method without its handler");
}

constexpr std::array<MethodRoute, wire::kMethodCount> kRoutes = [] {
    std::array<MethodRoute, wire::kMethodCount> routes{};
    for (std::size_t i = 0; i < routes.size(); ++i) {
        routes[i] = routeFor(static_cast<MethodId>(i));
    }
    return routes;
}();

}  // namespace

const MethodRoute& methodRoute(wire::MethodId id) {
    return kRoutes[wire::indexOf(id)];
}

}  // namespace server
