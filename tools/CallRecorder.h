#pragma once
// The remote calls a scenario made, as they went on the wire.

#include <map>
#include <optional>
#include <string>

namespace tools {

/// Keeps the arguments (a JSON array text) of the last call of every remote method and
/// compares one of them with an expected JSON value. Methods are known by their short
/// name: "Vnd42400.rdmTabePreco.SetPrecDif" and "SetPrecDif" are the same method.
class CallRecorder {
  public:
    /// Records a call; a later call of the same method replaces it.
    void record(const std::string& method, const std::string& argsJson);

    /// Compares argument `position` (1-based) of the last call of method with
    /// expectedJson, as JSON values (spacing and 10 / 10.0 do not matter). nullopt when
    /// they are equal, else the reason: no such call, too few arguments, a text that is
    /// not JSON, or both values.
    std::optional<std::string> mismatch(const std::string& method, std::size_t position,
                                        const std::string& expectedJson) const;

    /// The method's short name: what follows the last dot.
    static std::string shortName(const std::string& method);

  private:
    std::map<std::string, std::string> lastArgs_;
};

}  // namespace tools
