#include "BenchClient.h"

#include <stdexcept>

#include "forms/Application.h"
#include "forms/Form.h"
#include "net/TNetConnection.h"

namespace bench {

BenchClient::BenchClient(unsigned short port)
    : form_(std::make_unique<vol::Form>(vol::Application::instance(), "frmBench")),
      net_(&form_->makeComponent<vol::TNetConnection>("netTabePreco")) {
    net_->ServerName = "Vnd42400.rdmTabePreco";
    net_->ThrowException = false;
    net_->OnBeforeConnect = [port](vol::Component& c) {
        auto& net = dynamic_cast<vol::TNetConnection&>(c);
        net.Host = "127.0.0.1";
        net.Port = port;
    };
}

BenchClient::~BenchClient() = default;

wire::Value BenchClient::call(const std::string& method, const std::vector<wire::Value>& args,
                              std::optional<wire::DataPacket>* rows) {
    wire::CallResult result = net_->Call(method, args, rows);
    if (!result.ok) {
        throw std::runtime_error(method + ": " + result.errorMessage);
    }
    return std::move(result.value);
}

long storedRows(const wire::Value& result) {
    const auto* json = std::get_if<nlohmann::json>(&result);
    if (json == nullptr || !json->contains("stored")) {
        throw std::runtime_error("SetPrecDif answered no stored count");
    }
    return (*json)["stored"].get<long>();
}

}  // namespace bench
