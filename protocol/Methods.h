#pragma once
// The methods of the remote object "Vnd42400.rdmTabePreco": for each, its positional
// arguments with their names, types and limits. The one description that the client,
// the server's checks, the tests and the benchmarks read.

#include <cstddef>
#include <span>
#include <string_view>

#include <nlohmann/json.hpp>

namespace wire {

/// The JSON form an argument must have.
enum class ArgType {
    Boolean,      ///< true/false
    Integer,      ///< a JSON integer
    Number,       ///< any finite JSON number
    Text,         ///< a JSON string
    Date,         ///< {"$date":"YYYY-MM-DD"}, a date that exists
    DateOrDay,    ///< a date, or an integer day of the OLE scale (0 is 1899-12-30)
    Packet,       ///< {"$packet":{...}}
};

/// One positional argument.
struct ArgDescription {
    std::string_view name;  ///< Portuguese, as a refusal names it ("filial")
    ArgType type;
    bool nullable = false;  ///< null is accepted as well
    /// Longest text, or longest cell of a packet; 0 for an argument never read.
    std::size_t maxText = 64;
    /// Numbers: the magnitude must stay below this (0: no bound).
    double maxMagnitude = 0;
};

/// Every method, in the order methods() lists them: a description's id is its place
/// there, so that a table of what each method does is indexed by it.
enum class MethodId : std::size_t {
    SetPrecDif,
    SimPrecDif,
    GetFilial,
    GetTabePrec,
    GetVigencia,
    GetPrecoVigente,
    GetPrecosVigentes,
    GetPrecDif,
    DelPrecDif,
    GetPrecDifHist,
    GetFeriado,
    GetAlteracoes,
    GetDadosPreco
};
inline constexpr std::size_t kMethodCount = 13;

/// One method: its name as the server spells it and its arguments in order.
struct MethodDescription {
    MethodId id;
    std::string_view name;
    std::span<const ArgDescription> args;
    bool writes = false;  ///< changes stored data (runs on the store threads)
    /// Its last argument is a wait in milliseconds: with nothing to answer yet, the call
    /// may wait that long for a change, holding no thread meanwhile.
    bool waits = false;
};

/// A method's place in methods().
constexpr std::size_t indexOf(MethodId id) {
    return static_cast<std::size_t>(id);
}

/// Longest text of one argument or one data-packet cell.
inline constexpr std::size_t kMaxArgumentText = 64;
/// Most fields of a data packet.
inline constexpr std::size_t kMaxPacketFields = 16;
/// Largest magnitude of a rule's amount.
inline constexpr double kMaxRuleAmount = 1e9;

/// Every method of the remote object, SetPrecDif first.
std::span<const MethodDescription> methods();
/// The method with this short name, letter case ignored; nullptr when there is none.
const MethodDescription* findMethod(std::string_view name);

/// Checks the count and the form of every argument, and the size limits of texts,
/// packets and numbers. Throws RpcError(kInvalidParams) with a Portuguese text naming
/// the method and the argument ("GetFilial espera 2 argumentos; recebeu 1.",
/// "GetFilial: o argumento 1 (filial) deve ser texto.").
void checkParams(const MethodDescription& method, const nlohmann::json& params);

}  // namespace wire
