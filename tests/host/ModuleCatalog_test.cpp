// The host's modules folder: every module found, each on the menu, a broken one listed
// with its reason.

#include <gtest/gtest.h>

#include <QAction>
#include <filesystem>
#include <fstream>

#include "MainWindow.h"
#include "ModuleCatalog.h"
#include "forms/Application.h"
#include "forms/UserInput.h"

namespace {

namespace fs = std::filesystem;

// A modules folder: the real screen module, a module without entries, a file that is no
// module, and a library of another name that is not looked at.
fs::path modulesFolder() {
    const fs::path folder = fs::path(testing::TempDir()) / "host_modules";
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::create_symlink(SCREEN_MODULE_PATH, folder / "libvnd42407.so");
    fs::create_symlink(NOENTRY_MODULE_PATH, folder / "libvnd99998.so");
    std::ofstream(folder / "libvnd99999.so") << "not a library\n";
    fs::create_symlink(NOENTRY_MODULE_PATH, folder / "libother.so");
    return folder;
}

TEST(ModuleCatalogTest, EveryModuleIsListedAndABrokenOneSaysWhyWithoutStoppingTheOthers) {
    host::ModuleCatalog catalog(modulesFolder().string());
    ASSERT_EQ(catalog.modules().size(), 3u);
    EXPECT_FALSE(catalog.start());
    host::ModuleLoader* screen = catalog.byCode("VND42407");
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->state(), host::ModuleState::Initialized);
    EXPECT_NE(catalog.modules()[1]->error().find("entrada IniProc"), std::string::npos);
    EXPECT_NE(catalog.modules()[2]->error().find("Não foi possível carregar"), std::string::npos);
    EXPECT_EQ(catalog.byCode("VND99998"), nullptr);

    vol::Application& app = vol::Application::instance();
    vol::UserInput input(app);
    host::HostOptions options;
    {
        host::MainWindow window(app, input, catalog.loaders(), options);
        const auto& entries = window.screenActions();
        ASSERT_EQ(entries.size(), 3u);
        EXPECT_EQ(entries[0]->text(), "Cadastro Automático de Preços Diferenciados");
        EXPECT_EQ(entries[0]->shortcut().toString(), "Ctrl+F7");
        EXPECT_EQ(entries[1]->text(), "libvnd99998.so (indisponível)");
        EXPECT_NE(entries[1]->statusTip().indexOf("IniProc"), -1);
        EXPECT_EQ(entries[2]->text(), "libvnd99999.so (indisponível)");
    }
    app.destroyAll();
    std::vector<std::string> errors;
    catalog.finalize(errors);
    EXPECT_TRUE(errors.empty());
}

TEST(ModuleCatalogTest, AFolderThatDoesNotExistHasNoModules) {
    host::ModuleCatalog catalog("/nonexistent/modules");
    EXPECT_TRUE(catalog.modules().empty());
    EXPECT_TRUE(catalog.start());
}

}  // namespace
