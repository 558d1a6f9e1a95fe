// The one way a screen calls the server: the animation is hidden on every path.

#include "units/ServerCall.h"

#include <gtest/gtest.h>

#include "forms/Abort.h"
#include "forms/Application.h"
#include "forms/Form.h"
#include "net/TNetConnection.h"
#include "ui/ScriptedUserInterface.h"

namespace {

TEST(ServerCall, AFailedCallIsReportedAndTheAnimationHidden) {
    vol::Application& app = vol::Application::instance();
    vol::ScriptedUserInterface ui;
    app.setUserInterface(&ui);
    {
        vol::Form form(app, "frmTeste");
        vol::TNetConnection net(form, "netTabePreco");
        net.ServerName = "Vnd42400.rdmTabePreco";
        net.ThrowException = false;
        // Nothing listens on port 1 of the loopback address.
        net.OnBeforeConnect = [&net](vol::Component&) {
            net.Host = "127.0.0.1";
            net.Port = 1;
        };
        net.Open();
        EXPECT_THROW(vol::ServerCall(net, "GetFilial", {std::string("0001"), std::string()},
                                     vol::ProgressKind::Search),
                     vol::Abort);
    }
    EXPECT_EQ(ui.progressLog(), (std::vector<std::string>{"show 6", "hide"}));
    std::vector<std::string> errors = ui.takeErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("127.0.0.1:1"), std::string::npos) << errors[0];
    app.setUserInterface(nullptr);
}

// The person must be able to read the message: the animation goes first.
TEST(ServerCall, TheAnimationIsGoneBeforeTheFailureIsShown) {
    vol::Application& app = vol::Application::instance();
    vol::ScriptedUserInterface ui;
    app.setUserInterface(&ui);
    {
        vol::Form form(app, "frmTeste");
        vol::TNetConnection net(form, "netTabePreco");
        net.ServerName = "Vnd42400.rdmTabePreco";
        net.ThrowException = false;
        net.OnBeforeConnect = [&net](vol::Component&) {
            net.Host = "127.0.0.1";
            net.Port = 1;
        };
        EXPECT_THROW(vol::ServerCall(net, "GetFilial", {std::string("0001"), std::string()},
                                     vol::ProgressKind::Search),
                     vol::Abort);
    }
    EXPECT_EQ(ui.takeErrors().size(), 1u);
    EXPECT_EQ(ui.takeFaults(), std::vector<std::string>{});
    app.setUserInterface(nullptr);
}

}  // namespace
