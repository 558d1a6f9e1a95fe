// A whole rule registered through the Qt window with the keyboard alone, against the
// real server and a real local database.

#include <gtest/gtest.h>

#ifdef SCREEN_MODULE_PATH

#include <unistd.h>

#include <QApplication>
#include <QTest>

#include <filesystem>

#include "LocalDatabase.h"
#include "MainWindow.h"
#include "ModuleLoader.h"
#include "data/DataModule.h"
#include "forms/Application.h"
#include "forms/UserInput.h"
#include "server/cli/DatabaseInit.h"
#include "server/net/Server.h"
#include "ui/ScriptedUserInterface.h"

namespace {

namespace fs = std::filesystem;

class KeyboardRuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir);
        server::initDatabase("sqlite:" + (dir / "server.db").string(), true, 200);
        demo::writeLocalDatabase((dir / "local.db").string(), 200);
        serverPtr = std::make_unique<server::Server>("sqlite:" + (dir / "server.db").string(), "127.0.0.1:0");
        serverPtr->start();
        localDb.open((dir / "local.db").string());
        app.setDataModule(&localDb);
        app.settings() = vol::HostSettings{};
        app.settings().branch = "0001";
        app.settings().serverPort = serverPtr->port();
        app.setToday(wire::Date{2026, 6, 15});
        app.setUserInterface(&scripted);
        ASSERT_TRUE(loader.start()) << loader.error();
        window = std::make_unique<host::MainWindow>(app, input, loader, options);
        window->show();
        QApplication::setActiveWindow(window.get());
        window->openScreen();
        QApplication::processEvents();
    }
    void TearDown() override {
        app.destroyAll();
        window.reset();
        app.setUserInterface(nullptr);
        app.setDataModule(nullptr);
        app.setToday(std::nullopt);
        serverPtr->stop();
        localDb.close();
        fs::remove_all(dir);
    }
    std::string focused() const {
        vol::Form* form = app.activeForm();
        return form != nullptr && form->focusedControl() != nullptr ? form->focusedControl()->name() : "(none)";
    }
    void key(Qt::Key k) {
        QTest::keyClick(QApplication::focusWidget(), k);
        QApplication::processEvents();
    }
    void keys(const char* text) {
        QTest::keyClicks(QApplication::focusWidget(), text);
        QApplication::processEvents();
    }

    fs::path dir = fs::temp_directory_path() / ("vnd-keyboard-" + std::to_string(::getpid()));
    vol::Application& app = vol::Application::instance();
    vol::ScriptedUserInterface scripted;
    vol::UserInput input{app};
    host::HostOptions options;
    host::ModuleLoader loader{SCREEN_MODULE_PATH};
    vol::DataModule localDb;
    std::unique_ptr<server::Server> serverPtr;
    std::unique_ptr<host::MainWindow> window;
};

TEST_F(KeyboardRuleTest, ARuleIsStoredWithoutTouchingTheMouse) {
    ASSERT_EQ(focused(), "medCdFilial");
    key(Qt::Key_Tab);
    keys("1");
    key(Qt::Key_Return);  // Enter moves on as Tab does, with the same check
    ASSERT_EQ(focused(), "depDtIniVig") << scripted.takeErrors().size();
    keys("01012026");
    key(Qt::Key_Return);
    ASSERT_EQ(focused(), "rbtTodos");
    for (int i = 0; i < 4; ++i) key(Qt::Key_Tab);
    ASSERT_EQ(focused(), "chbTodosDias");
    key(Qt::Key_Space);
    key(Qt::Key_Tab);  // the nine other days are disabled now, so Tab skips them
    ASSERT_EQ(focused(), "rdgDesAcr");
    key(Qt::Key_Tab);
    key(Qt::Key_Tab);
    ASSERT_EQ(focused(), "numValPer");
    keys("7,5");
    for (int i = 0; i < 3; ++i) key(Qt::Key_Tab);
    ASSERT_EQ(focused(), "depValidadeDe");
    keys("01022026");
    key(Qt::Key_Tab);
    keys("28022026");
    scripted.queueAnswer(true);
    key(Qt::Key_F10);
    EXPECT_TRUE(scripted.takeErrors().empty());
    EXPECT_TRUE(app.forms().empty()) << "the screen closes once the rule is stored";
    EXPECT_EQ(serverPtr->countRules(), 200);
}

}  // namespace

#endif
