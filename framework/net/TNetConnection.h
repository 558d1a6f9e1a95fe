#pragma once
// The screen's socket connection to the application server.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "forms/Component.h"
#include "net/NetSettings.h"
#include "protocol/Value.h"

namespace vol {

class Form;

/// A connection to one remote object on the application server, carrying synchronous
/// calls by method name with positional arguments (JSON-RPC 2.0 over TCP, one message a
/// line). Host and port are set by the before-connect event, raised by every open.
///
/// With ThrowException false (the screen's setting) no operation throws for a network
/// failure: a failed open is recorded, and call() answers a failed CallResult whose
/// message is a Portuguese text naming host and port. A connection that broke (the
/// server was restarted) is opened again by the next call.
///
/// Settings (token, TLS authority, timeouts) start from NetSettings::fromEnvironment()
/// and may be changed before an open. With a token, every open sends it first (the
/// server's rpc.auth); a refused token fails the open with the server's text. Then every
/// open tells the server who is calling (rpc.hello, a notification: no answer is awaited)
/// with Workstation::current(); it is no call of the screen's, so the remote-call
/// observer does not hear of it. An answer
/// that is not a well-formed answer to the call, or none within the call timeout, fails
/// the call with a Portuguese text naming host and port and closes the connection, so
/// that nothing late is ever taken for the next call's answer.
class TNetConnection : public Component {
public:
    TNetConnection(Form& owner, std::string name);
    ~TNetConnection() override;

    std::string ServerName;      ///< the remote object, e.g. "Vnd42400.rdmTabePreco"
    bool ThrowException = true;  ///< when true, network failures throw std::runtime_error
    std::string Host;            ///< set by the before-connect event
    int Port = 0;                ///< set by the before-connect event
    std::function<void(Component& sender)> OnBeforeConnect;
    NetSettings Settings = NetSettings::fromEnvironment();

    /// Raises the before-connect event, then connects. A failure is recorded (and thrown
    /// when ThrowException is set); it never ends the caller otherwise.
    void Open();
    /// Closes the socket; harmless when not open.
    void Close();
    bool Connected() const;
    /// The text of the last failed open or call, empty after a success.
    const std::string& LastError() const;
    /// True when the last call failed because its answer did not come within the call
    /// timeout after the request was sent: the server may still have carried it out.
    bool LastCallTimedOut() const;
    /// Host and port as the messages name them ("127.0.0.1:7400").
    std::string Where() const;

    /// Calls ServerName + "." + method with the arguments in order and waits for the
    /// answer. Reopens a closed or broken connection first (raising the before-connect
    /// event again). Never throws for network or server failures when ThrowException is
    /// false: they come back as a failed CallResult. Every call is reported, with its
    /// arguments as they went on the wire, to Application::remoteCallObserver().
    /// The answer is read in one pass: a data packet's rows go from the text straight into
    /// the result's packet. With `rows`, a page answer ({"total":N,"rows":packet}) gives
    /// its packet there and its other members as the result (wire::readAnswer).
    wire::CallResult Call(const std::string& method, const std::vector<wire::Value>& args,
                          std::optional<wire::DataPacket>* rows = nullptr);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vol
