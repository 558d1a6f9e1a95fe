#pragma once
// A screen-like client: one form holding the server connection the benchmarks call through.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/Value.h"

namespace vol {
class Form;
class TNetConnection;
}  // namespace vol

namespace bench {

/// A form with a TNetConnection to "Vnd42400.rdmTabePreco" on 127.0.0.1:port, set up as
/// the screen sets its own. Calls that fail throw std::runtime_error with the server's text.
class BenchClient {
  public:
    explicit BenchClient(unsigned short port);
    ~BenchClient();
    BenchClient(const BenchClient&) = delete;
    BenchClient& operator=(const BenchClient&) = delete;

    /// Calls the method and gives its result; throws when the call failed. With `rows`, a
    /// page's packet comes there (TNetConnection::Call).
    wire::Value call(const std::string& method, const std::vector<wire::Value>& args,
                     std::optional<wire::DataPacket>* rows = nullptr);
    /// The form, for datasets the benchmark needs beside the connection.
    vol::Form& form() { return *form_; }

  private:
    std::unique_ptr<vol::Form> form_;
    vol::TNetConnection* net_;
};

/// The "stored" figure of a SetPrecDif result.
long storedRows(const wire::Value& result);

}  // namespace bench
