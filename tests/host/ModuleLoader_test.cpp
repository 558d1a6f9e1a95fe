// The module loader's stages and the reason it gives for each failure.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "ModuleLoader.h"
#include "forms/Application.h"
#include "forms/UserInput.h"

namespace {

using host::ModuleLoader;
using host::ModuleState;

std::string notALibrary() {
    std::string path = testing::TempDir() + "not_a_module.so";
    std::ofstream(path) << "just text\n";
    return path;
}

struct FailureCase {
    const char* name;
    std::string path;
    ModuleState stopsAt;
    const char* reason;
};

class ModuleLoaderFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ModuleLoaderFailureTest, StopsWithAReasonAndNeverOpens) {
    const FailureCase& c = GetParam();
    ModuleLoader loader(c.path);
    EXPECT_FALSE(loader.start());
    EXPECT_EQ(loader.state(), c.stopsAt);
    EXPECT_NE(loader.error().find(c.reason), std::string::npos) << loader.error();
    EXPECT_FALSE(loader.open(vol::Application::instance()));
    EXPECT_FALSE(loader.error().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModuleLoaderFailureTest,
    ::testing::Values(FailureCase{"missing_file", "/nonexistent/libvnd42407.so", ModuleState::Absent,
                                  "Módulo não encontrado"},
                      FailureCase{"not_a_library", notALibrary(), ModuleState::Found, "Não foi possível carregar"},
                      FailureCase{"missing_entry", NOENTRY_MODULE_PATH, ModuleState::Found, "entrada IniProc"}),
    [](const ::testing::TestParamInfo<FailureCase>& p) { return std::string(p.param.name); });

TEST(ModuleLoaderTest, StepsOutOfOrderAreRefused) {
    ModuleLoader loader("/nonexistent/libvnd42407.so");
    EXPECT_FALSE(loader.load());
    EXPECT_FALSE(loader.initialize());
    EXPECT_FALSE(loader.finalize());
    EXPECT_EQ(loader.state(), ModuleState::Absent);
}

#ifdef SCREEN_MODULE_PATH
TEST(ModuleLoaderTest, TheScreenModuleGoesThroughEveryStage) {
    vol::Application& app = vol::Application::instance();
    ModuleLoader loader(SCREEN_MODULE_PATH);
    ASSERT_TRUE(loader.find()) << loader.error();
    EXPECT_EQ(loader.state(), ModuleState::Found);
    ASSERT_TRUE(loader.load()) << loader.error();
    ASSERT_NE(loader.packageInfo(), nullptr);
    EXPECT_GT(loader.packageInfo()->unitCount, 0);
    ASSERT_TRUE(loader.initialize()) << loader.error();
    ASSERT_TRUE(loader.open(app));
    EXPECT_EQ(loader.state(), ModuleState::Running);
    ASSERT_EQ(app.forms().size(), 1u);
    EXPECT_EQ(app.forms().front()->name(), "frmCadAutPrecoDeferenciado");
    // A second open brings the same screen forward.
    ASSERT_TRUE(loader.open(app));
    EXPECT_EQ(app.forms().size(), 1u);
    vol::UserInput(app).close(*app.forms().front());
    EXPECT_TRUE(app.forms().empty());
    EXPECT_TRUE(loader.finalize()) << loader.error();
    EXPECT_EQ(loader.state(), ModuleState::Finalized);
    loader.unload();
    EXPECT_EQ(loader.state(), ModuleState::Unloaded);
}
#endif

}  // namespace
