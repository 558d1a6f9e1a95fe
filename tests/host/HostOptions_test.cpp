// The host's settings from its command line and environment.

#include <gtest/gtest.h>

#include "HostOptions.h"
#include "ScriptedKeys.h"

namespace {

struct OptionsCase {
    const char* name;
    QStringList arguments;
    QStringList environment;  // NAME=VALUE
    const char* branch;
    bool fixed;
    const char* host;
    int port;
    const char* localDatabase;
    const char* error;  // part of the error text; empty when the parse succeeds
};

class HostOptionsTest : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(HostOptionsTest, Parses) {
    const OptionsCase& c = GetParam();
    QProcessEnvironment env;
    for (const QString& pair : c.environment) env.insert(pair.section('=', 0, 0), pair.section('=', 1));
    std::string error;
    auto options = host::HostOptions::parse(QStringList{"vnd-host"} + c.arguments, env, "/opt/lib", error);
    if (*c.error != '\0') {
        EXPECT_FALSE(options.has_value());
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        return;
    }
    ASSERT_TRUE(options.has_value()) << error;
    EXPECT_EQ(options->settings.branch, c.branch);
    EXPECT_EQ(options->settings.branchFixed, c.fixed);
    EXPECT_EQ(options->settings.serverHost, c.host);
    EXPECT_EQ(options->settings.serverPort, c.port);
    EXPECT_EQ(options->localDatabase, c.localDatabase);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HostOptionsTest,
    ::testing::Values(
        OptionsCase{"defaults", {}, {}, "0001", false, "127.0.0.1", 7400, "", ""},
        OptionsCase{"command_line", {"--branch", "0002", "--fixed-branch", "yes", "--server", "db.loja:7500",
                                     "--localdb", "/tmp/l.db"}, {}, "0002", true, "db.loja", 7500, "/tmp/l.db", ""},
        OptionsCase{"environment", {}, {"VND_BRANCH=0003", "VND_FIXED_BRANCH=sim", "VND_SERVER=10.0.0.5:7401"},
                    "0003", true, "10.0.0.5", 7401, "", ""},
        OptionsCase{"command_line_wins", {"--branch", "0001"}, {"VND_BRANCH=0003"}, "0001", false, "127.0.0.1",
                    7400, "", ""},
        OptionsCase{"bad_port", {"--server", "localhost:99999"}, {}, "", false, "", 0, "", "--server"},
        OptionsCase{"no_port", {"--server", "localhost"}, {}, "", false, "", 0, "", "HOST:PORT"},
        OptionsCase{"bad_flag", {}, {"VND_FIXED_BRANCH=maybe"}, "", false, "", 0, "", "yes ou no"},
        OptionsCase{"long_branch", {"--branch", "00001"}, {}, "", false, "", 0, "", "--branch"},
        OptionsCase{"unknown_option", {"--colour", "red"}, {}, "", false, "", 0, "", "colour"},
        OptionsCase{"unknown_option_in_portuguese", {"--colour"}, {}, "", false, "", 0, "", "opção desconhecida: colour"},
        OptionsCase{"missing_value", {"--branch"}, {}, "", false, "", 0, "", "sem o seu valor"},
        OptionsCase{"unknown_key", {"--keys", "Tab Tecla"}, {}, "", false, "", 0, "", "--keys: tecla desconhecida: Tecla"}),
    [](const ::testing::TestParamInfo<OptionsCase>& p) { return std::string(p.param.name); });

TEST(HostOptionsHelpTest, NamesEveryOptionAndItsVariable) {
    std::string help = host::HostOptions::helpText();
    for (const char* word : {"--branch", "VND_BRANCH", "--fixed-branch", "--server", "VND_SERVER", "--picture",
                             "--localdb", "VND_LOCALDB", "--modules", "VND_MODULE_DIR", "--screenshot", "--module",
                             "Ctrl+F8"}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
    }
}

TEST(HostOptionsModuleTest, NamesTheScreenOpenedAtStartByItsCode) {
    std::string error;
    const QProcessEnvironment env;
    auto defaults = host::HostOptions::parse({"vnd-host"}, env, "/opt/lib", error);
    ASSERT_TRUE(defaults.has_value());
    EXPECT_EQ(defaults->screenCode, "VND42407");
    auto inquiry = host::HostOptions::parse({"vnd-host", "--open", "--module", "vnd42408"}, env, "/opt/lib", error);
    ASSERT_TRUE(inquiry.has_value()) << error;
    EXPECT_EQ(inquiry->screenCode, "VND42408");
    EXPECT_FALSE(host::HostOptions::parse({"vnd-host", "--module", " "}, env, "/opt/lib", error).has_value());
    EXPECT_NE(error.find("--module"), std::string::npos);
}

// The clerk reads the help; vnd-server's is Portuguese too.
TEST(HostOptionsHelpTest, IsInPortuguese) {
    std::string help = host::HostOptions::helpText();
    for (const char* word : {"Uso: vnd-host [opções]", "Opções", "filial atual", "abre a tela ao iniciar", "Ctrl+F4"}) {
        EXPECT_NE(help.find(word), std::string::npos) << word;
    }
    for (const char* english : {"Usage", "Options", "default", "open the screen"}) {
        EXPECT_EQ(help.find(english), std::string::npos) << english;
    }
}

struct KeysCase {
    const char* text;
    std::vector<QKeyCombination> keys;  // Qt::Key_unknown where a text is typed
    std::vector<QString> texts;
};

class ScriptedKeysTest : public ::testing::TestWithParam<KeysCase> {};

TEST_P(ScriptedKeysTest, ReadsKeysAndTexts) {
    QString error;
    auto keys = host::parseScriptedKeys(GetParam().text, error);
    ASSERT_TRUE(keys.has_value()) << error.toStdString();
    ASSERT_EQ(keys->size(), GetParam().keys.size());
    for (std::size_t i = 0; i < keys->size(); ++i) {
        EXPECT_EQ((*keys)[i].text, GetParam().texts[i]) << i;
        if (GetParam().texts[i].isEmpty()) {
            EXPECT_EQ((*keys)[i].key, GetParam().keys[i]) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ScriptedKeysTest,
    ::testing::Values(
        KeysCase{"", {}, {}},
        KeysCase{"Tab  Shift+Tab", {QKeyCombination(Qt::Key_Tab), QKeyCombination(Qt::ShiftModifier, Qt::Key_Tab)}, {"", ""}},
        KeysCase{"'12.5 F2 Ctrl+A",
                 {QKeyCombination(Qt::Key_unknown), QKeyCombination(Qt::Key_F2), QKeyCombination(Qt::ControlModifier, Qt::Key_A)},
                 {"12.5", "", ""}},
        KeysCase{"Space Return Down", {QKeyCombination(Qt::Key_Space), QKeyCombination(Qt::Key_Return),
                                       QKeyCombination(Qt::Key_Down)}, {"", "", ""}}));

}  // namespace
