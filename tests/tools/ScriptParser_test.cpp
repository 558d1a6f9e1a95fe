#include "ScriptParser.h"

#include <gtest/gtest.h>

#include <ostream>

#include <stdexcept>

namespace tools {
namespace {

struct TokenCase {
    const char* line;
    std::vector<Token> tokens;
};

void PrintTo(const TokenCase& c, std::ostream* os) {
    *os << c.line;
}

class TokenizeTest : public testing::TestWithParam<TokenCase> {};

TEST_P(TokenizeTest, SplitsWordsAndKeepsQuotedTextExactly) {
    EXPECT_EQ(ScriptParser::tokenize(GetParam().line), GetParam().tokens);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TokenizeTest,
    testing::Values(
        TokenCase{"", {}}, TokenCase{"   \t ", {}}, TokenCase{"# a comment", {}},
        TokenCase{"open", {{"open", false}}},
        TokenCase{"  tab\t# then a comment", {{"tab", false}}},
        TokenCase{"type medHorarioDe \"00:01\"",
                  {{"type", false}, {"medHorarioDe", false}, {"00:01", true}}},
        // Blanks inside quotes are kept, leading and trailing ones included.
        TokenCase{"expect text medCdTabePrec \"   \"",
                  {{"expect", false}, {"text", false}, {"medCdTabePrec", false}, {"   ", true}}},
        TokenCase{"type x \"\"", {{"type", false}, {"x", false}, {"", true}}},
        TokenCase{R"(expect message "a \"b\" c\\d")",
                  {{"expect", false}, {"message", false}, {R"(a "b" c\d)", true}}},
        // A # inside quotes is text, not a comment.
        TokenCase{"pick \"#1\" # comment", {{"pick", false}, {"#1", true}}},
        TokenCase{"pick \"Filial\"\r", {{"pick", false}, {"Filial", true}}},
        TokenCase{"pick \"Ação Ótima\"", {{"pick", false}, {"Ação Ótima", true}}}));

class TokenizeErrorTest : public testing::TestWithParam<const char*> {};

TEST_P(TokenizeErrorTest, RefusesMalformedQuotes) {
    EXPECT_THROW(ScriptParser::tokenize(GetParam()), std::invalid_argument);
}

INSTANTIATE_TEST_SUITE_P(Lines, TokenizeErrorTest,
                         testing::Values("type x \"unterminated", "type x \"ends in backslash\\",
                                         R"(type x "bad \n escape")", "type x \"a\"b",
                                         "type x a\"b\""));

struct CommandCase {
    const char* line;
    Verb verb;
    std::vector<std::string> args;
};

void PrintTo(const CommandCase& c, std::ostream* os) {
    *os << c.line;
}

class ParseLineTest : public testing::TestWithParam<CommandCase> {};

TEST_P(ParseLineTest, MapsEveryCommandToItsVerbAndArguments) {
    Command command;
    ASSERT_TRUE(ScriptParser::parseLine(GetParam().line, 7, command));
    EXPECT_EQ(command.verb, GetParam().verb);
    EXPECT_EQ(command.args, GetParam().args);
    EXPECT_EQ(command.line, 7);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ParseLineTest,
    testing::Values(
        CommandCase{"today 2026-02-28", Verb::Today, {"2026-02-28"}},
        CommandCase{"branch 0002", Verb::Branch, {"0002"}},
        CommandCase{"fixed-branch yes", Verb::FixedBranch, {"yes"}},
        CommandCase{"picture \"99.99.999;0; \"", Verb::Picture, {"99.99.999;0; "}},
        CommandCase{"open", Verb::Open, {}}, CommandCase{"close", Verb::Close, {}},
        CommandCase{"activate", Verb::Activate, {}},
        CommandCase{"server stop", Verb::ServerStop, {}},
        CommandCase{"server start", Verb::ServerStart, {}},
        CommandCase{"server fail-next SetPrecDif \"Falha no banco\"",
                    Verb::ServerFailNext,
                    {"SetPrecDif", "Falha no banco"}},
        CommandCase{"server hold-store 2500", Verb::ServerHoldStore, {"2500"}},
        CommandCase{"server remove-product 0000000004", Verb::ServerRemoveProduct, {"0000000004"}},
        CommandCase{"screen VND42408", Verb::Screen, {"VND42408"}},
        CommandCase{"press F5", Verb::Press, {"F5"}},
        CommandCase{"select-rows grdRegras 1 3", Verb::SelectRows, {"grdRegras", "1", "3"}},
        CommandCase{"save-as regras.csv", Verb::SaveAs, {"regras.csv"}},
        CommandCase{"expect grid-rows grdRegras 0", Verb::ExpectGridRows, {"grdRegras", "0"}},
        CommandCase{"expect grid-cell grdRegras 2 \"Tipo de ajuste\" \"Acréscimo\"",
                    Verb::ExpectGridCell,
                    {"grdRegras", "2", "Tipo de ajuste", "Acréscimo"}},
        CommandCase{"expect memo-contains memExplicacao \"Preço final\"", Verb::ExpectMemoContains,
                    {"memExplicacao", "Preço final"}},
        CommandCase{"expect file-lines regras.csv 401", Verb::ExpectFileLines, {"regras.csv", "401"}},
        CommandCase{"call-timeout netTabePreco 1000", Verb::CallTimeout, {"netTabePreco", "1000"}},
        CommandCase{"wait 250", Verb::Wait, {"250"}},
        CommandCase{"expect start-row \"Ativa\" 2026", Verb::ExpectStartRow, {"Ativa", "2026"}},
        CommandCase{"focus medCdFilial", Verb::Focus, {"medCdFilial"}},
        CommandCase{"tab", Verb::Tab, {}},
        CommandCase{"type numValPer \"10,5\"", Verb::Type, {"numValPer", "10,5"}},
        CommandCase{"keys \"0800\"", Verb::Keys, {"0800"}},
        CommandCase{"expect confirm-contains \"2 regra(s)\" \"01.01.003\"", Verb::ExpectConfirmContains,
                    {"2 regra(s)", "01.01.003"}},
        CommandCase{"expect notice-contains \"400 regras\"", Verb::ExpectNoticeContains, {"400 regras"}},
        CommandCase{"click rbtLista", Verb::Click, {"rbtLista"}},
        CommandCase{"select rdgValPer 1", Verb::Select, {"rdgValPer", "1"}},
        CommandCase{"pick \"001\"", Verb::Pick, {"001"}},
        CommandCase{
            "pick \"0101001\" \"0101002\" 0101003", Verb::Pick, {"0101001", "0101002", "0101003"}},
        CommandCase{"pick-none", Verb::PickNone, {}},
        CommandCase{"answer no", Verb::Answer, {"no"}},
        CommandCase{
            "expect message \"Filial inválida.\"", Verb::ExpectMessage, {"Filial inválida."}},
        CommandCase{"expect no-message", Verb::ExpectNoMessage, {}},
        CommandCase{
            "expect message-contains \"127.0.0.1\"", Verb::ExpectMessageContains, {"127.0.0.1"}},
        CommandCase{"expect confirm \"Confirma?\"", Verb::ExpectConfirm, {"Confirma?"}},
        CommandCase{"expect list-empty \"Não há vigência cadastrada.\"",
                    Verb::ExpectListEmpty,
                    {"Não há vigência cadastrada."}},
        CommandCase{"expect rows 0", Verb::ExpectRows, {"0"}},
        CommandCase{"expect row \"001\" \"Varejo\"", Verb::ExpectRow, {"001", "Varejo"}},
        CommandCase{"expect focus medCdTabePrec", Verb::ExpectFocus, {"medCdTabePrec"}},
        CommandCase{
            "expect text medHorarioDe \"00:01\"", Verb::ExpectText, {"medHorarioDe", "00:01"}},
        CommandCase{"expect empty edtNmFilial", Verb::ExpectEmpty, {"edtNmFilial"}},
        CommandCase{"expect not-empty edtNmFilial", Verb::ExpectNotEmpty, {"edtNmFilial"}},
        CommandCase{"expect enabled btnFilial", Verb::ExpectEnabled, {"btnFilial"}},
        CommandCase{"expect disabled medProdIni", Verb::ExpectDisabled, {"medProdIni"}},
        CommandCase{"expect checked rbtTodos", Verb::ExpectChecked, {"rbtTodos"}},
        CommandCase{"expect unchecked chbFeriado", Verb::ExpectUnchecked, {"chbFeriado"}},
        CommandCase{"expect state boStCriado true", Verb::ExpectState, {"boStCriado", "true"}},
        CommandCase{"expect state stPesqProd \"\"", Verb::ExpectState, {"stPesqProd", ""}},
        CommandCase{"expect screen closed", Verb::ExpectScreen, {"closed"}},
        CommandCase{R"(expect arg SetPrecDif 1 "\"0001\"")",
                    Verb::ExpectArg,
                    {"SetPrecDif", "1", "\"0001\""}},
        CommandCase{"expect stored 400", Verb::ExpectStored, {"400"}},
        CommandCase{"dump  # everything", Verb::Dump, {}}));

struct BadLineCase {
    const char* line;
    const char* reason;  ///< a part of the error text
};

void PrintTo(const BadLineCase& c, std::ostream* os) {
    *os << c.line;
}

class ParseLineErrorTest : public testing::TestWithParam<BadLineCase> {};

TEST_P(ParseLineErrorTest, NamesWhatIsWrong) {
    Command command;
    try {
        ScriptParser::parseLine(GetParam().line, 1, command);
        FAIL() << "accepted: " << GetParam().line;
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().reason), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseLineErrorTest,
    testing::Values(BadLineCase{"opne", "unknown command \"opne\""},
                    BadLineCase{"expect", "unknown command \"expect\""},
                    BadLineCase{"expect colour x", "unknown command \"expect colour\""},
                    BadLineCase{"server reboot", "unknown command \"server reboot\""},
                    BadLineCase{"\"open\"", "must start with a command"},
                    BadLineCase{"open now", "too many arguments"},
                    BadLineCase{"type medCdFilial", "missing argument (usage: type NAME TEXT)"},
                    BadLineCase{"expect text medCdFilial \"1\" \"2\"", "too many arguments"},
                    BadLineCase{"pick", "missing argument"},
                    BadLineCase{"expect row", "missing argument"},
                    BadLineCase{"focus \"\"", "an empty name"},
                    BadLineCase{"select rdgValPer one", "not a whole number"},
                    BadLineCase{"select rdgValPer -1", "not a whole number"},
                    BadLineCase{"expect rows 99999999999", "not a whole number"},
                    BadLineCase{"expect arg SetPrecDif 0 1", "not a number from 1 on"},
                    BadLineCase{"today 2026-02-30", "not a date"},
                    BadLineCase{"today 30/01/2026", "not a date"},
                    BadLineCase{"fixed-branch true", "neither yes nor no"},
                    BadLineCase{"wait 0", "not a number from 1 on"},
                    BadLineCase{"call-timeout netTabePreco", "missing argument (usage: call-timeout NAME MS)"},
                    BadLineCase{"answer sim", "neither yes nor no"},
                    BadLineCase{"expect screen shown", "neither open nor closed"}));

TEST(ParseScriptTest, ListsEveryWrongLineWithItsNumberAndKeepsLineNumbersOfCommands) {
    ParsedScript script = ScriptParser::parse("open\r\n\n# comment\nopne\nexpect focus\r\ntab\n");
    ASSERT_EQ(script.errors.size(), 2u);
    EXPECT_EQ(script.errors[0].line, 4);
    EXPECT_EQ(script.errors[1].line, 5);
    ASSERT_EQ(script.commands.size(), 2u);
    EXPECT_EQ(script.commands[0].verb, Verb::Open);
    EXPECT_EQ(script.commands[0].line, 1);
    EXPECT_EQ(script.commands[1].verb, Verb::Tab);
    EXPECT_EQ(script.commands[1].line, 6);
}

TEST(QuoteTest, TokenizeReadsAQuotedTextBackUnchanged) {
    for (const char* text : {"", "   ", "a \"b\" c", "back\\slash\\", "# not a comment", "Ação"}) {
        std::vector<Token> tokens = ScriptParser::tokenize(ScriptParser::quote(text));
        ASSERT_EQ(tokens.size(), 1u) << text;
        EXPECT_EQ(tokens[0], (Token{text, true}));
    }
}

TEST(ParseScriptTest, ReferenceListsEveryCommandOnce) {
    std::string reference = ScriptParser::reference();
    for (const char* name :
         {"today", "expect arg METHOD N TEXT", "server fail-next", "pick-none", "dump"}) {
        EXPECT_NE(reference.find(name), std::string::npos) << name;
    }
}

}  // namespace
}  // namespace tools
