#pragma once
// Bounds on the size of every argument of the four methods, checked before a call
// reaches the service, so that no hostile argument is carried into the database, the
// checks or the error texts.

#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

namespace server {

/// Longest text of one argument or one data-packet cell; the widest column the screen
/// fills is 50 characters (NMPRODUTO), a product code with its mask about 25.
inline constexpr std::size_t kMaxArgumentText = 64;
/// Most fields of a data packet (the screen's product packet has four).
inline constexpr std::size_t kMaxPacketFields = 16;
/// Largest amount of a rule given as a value; a price difference beyond it is a typing
/// or encoding fault, not a price.
inline constexpr double kMaxRuleAmount = 1e9;

/// Throws wire::RpcError(kInvalidParams) with a Portuguese text naming the method and the
/// argument when a text argument (the unused argument 26 of SetPrecDif aside), a field
/// name or a cell of a packet is longer than kMaxArgumentText, a packet has more than
/// kMaxPacketFields fields, or the amount of SetPrecDif is beyond kMaxRuleAmount.
/// Arguments of the wrong type or count are left to the method's own checks.
void checkArgumentLimits(const std::string& method, const nlohmann::json& params);

}  // namespace server
