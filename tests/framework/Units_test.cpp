// The shared units: codes, blanks, the catalogue, the picked-codes text, datasets.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "data/ClientDataSet.h"
#include "data/DataSource.h"
#include "forms/Application.h"
#include "forms/Form.h"
#include "ui/ScriptedUserInterface.h"
#include "units/Consiste.h"
#include "units/Pesqlista.h"
#include "units/TMessages.h"

namespace {

TEST(Consiste, AjustaPadsShortCodesWithZerosOnTheLeft) {
    struct Case {
        const char* code;
        int width;
        const char* out;
    } cases[] = {{"1", 4, "0001"}, {"1  ", 3, "001"}, {" 12 ", 2, "12"}, {"0001", 4, "0001"},
                 {"A", 4, "000A"}, {"12345", 4, "12345"}};
    for (const auto& c : cases) EXPECT_EQ(vol::Ajusta(c.code, c.width), c.out) << c.code;
}

TEST(Consiste, EmptyStringMeansNothingButBlanks) {
    EXPECT_TRUE(vol::EmptyString(""));
    EXPECT_TRUE(vol::EmptyString("   "));
    EXPECT_FALSE(vol::EmptyString(" 1 "));
    EXPECT_FALSE(vol::EmptyString("  :  "));
}

TEST(Consiste, CheckResultServShowsTheServerTextAndAborts) {
    vol::ScriptedUserInterface ui;
    vol::Application::instance().setUserInterface(&ui);
    EXPECT_THROW(vol::CheckResultServ(wire::CallResult::failure(-32000, "Filial inexistente."), true, 0),
                 std::exception);
    EXPECT_EQ(ui.takeErrors(), std::vector<std::string>{"Filial inexistente."});
    wire::DataPacket p{{{"CDFILIAL", "string", 4}}, {{"0001"}}};
    EXPECT_EQ(vol::CheckResultServ(wire::CallResult::success(p), true, 0), p);
    vol::Application::instance().setUserInterface(nullptr);
}

TEST(Pesqlista, PickedCodesTextFillsEachKeyToTenCharacters) {
    EXPECT_EQ(vol::PickedCodesText({}), "");
    EXPECT_EQ(vol::PickedCodesText({"0000000001", "0000000002"}), "_0000000001_0000000002_");
    EXPECT_EQ(vol::PickedCodesText({"12"}), "_12        _");
}

struct DataForm : vol::Form {
    explicit DataForm(vol::Application& app) : Form(app, "frmData") {}
};

// A person who cancels every list.
struct CancellingUserInterface : vol::ScriptedUserInterface {
    std::optional<std::vector<int>> pickMany(const std::string& title, const vol::DataSet& data,
                                             const std::vector<int>& ticked) override {
        ScriptedUserInterface::pickMany(title, data, ticked);
        return std::nullopt;
    }
};

struct PickCase {
    const char* name;
    const char* before;  // the picked codes when the list opens
    bool cancel;
    std::vector<int> tickedAtOpen;
    const char* after;
};

class PesquisaListaTest : public ::testing::TestWithParam<PickCase> {};

// The list opens with the earlier pick ticked, and Esc loses nothing of it.
TEST_P(PesquisaListaTest, KeepsThePickUnlessANewOneIsConfirmed) {
    const PickCase& c = GetParam();
    vol::Application& app = vol::Application::instance();
    CancellingUserInterface cancelling;
    vol::ScriptedUserInterface confirming;
    vol::ScriptedUserInterface& ui = c.cancel ? cancelling : confirming;
    app.setUserInterface(&ui);
    {
        DataForm form(app);
        auto& data = form.makeComponent<vol::ClientDataSet>("cdsProduto");
        data.loadPacket({{{"CDPRODUTO", "string", 10}, {"NMPRODUTO", "string", 20}},
                         {{"0000000001", "ARROZ"}, {"0000000002", "FEIJÃO"}, {"0000000003", "CAFÉ"}}});
        auto& source = form.makeComponent<vol::DataSource>("dtsProduto");
        source.setDataSet(&data);
        ui.queuePick(std::vector<std::string>{"CAFÉ"});
        std::string result = c.before;
        vol::PesquisaLista(source, "CDPRODUTO", "Produtos|Nenhum produto.", false, result);
        ASSERT_TRUE(ui.lastList().has_value());
        EXPECT_EQ(ui.lastList()->ticked, c.tickedAtOpen);
        EXPECT_EQ(result, c.after);
    }
    app.setUserInterface(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Picks, PesquisaListaTest,
    ::testing::Values(PickCase{"confirmed_replaces", "_0000000001_", false, {0}, "_0000000003_"},
                      PickCase{"cancelled_keeps", "_0000000001_0000000002_", true, {0, 1}, "_0000000001_0000000002_"},
                      PickCase{"cancelled_keeps_nothing", "", true, {}, ""},
                      PickCase{"unknown_codes_tick_nothing", "_0000000009_", false, {}, "_0000000003_"},
                      PickCase{"a_broken_text_ticks_nothing", "_00001_", true, {}, "_00001_"}),
    [](const ::testing::TestParamInfo<PickCase>& p) { return std::string(p.param.name); });

class DataSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        app.createForm(form);
        data = &form->makeComponent<vol::ClientDataSet>("cdsData");
        for (const char* n : {"CODE", "NAME"}) data->addField({n, 10, "", true, 0, "", false, vol::FieldKind::Data});
        data->addField({"UPPER", 10, "", true, 0, "", false, vol::FieldKind::Calculated});
        data->OnCalcFields = [](vol::DataSet& d) {
            std::string n = d.fieldByName("NAME").asString();
            for (char& c : n) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            d.fieldByName("UPPER").setAsString(n);
        };
    }
    void TearDown() override { app.destroyAll(); }
    vol::Application& app = vol::Application::instance();
    DataForm* form = nullptr;
    vol::ClientDataSet* data = nullptr;
};

TEST_F(DataSetTest, PacketsLoadByFieldNameAndComeBackWithoutCalculatedFields) {
    data->loadPacket({{{"NAME", "string", 10}, {"EXTRA", "string", 1}, {"CODE", "string", 10}},
                      {{"arroz", "x", "0101001"}, {std::nullopt, "y", "0101002"}}});
    ASSERT_EQ(data->recordCount(), 2);
    EXPECT_EQ(data->fieldByName("CODE").asString(), "0101001");
    EXPECT_EQ(data->fieldByName("UPPER").asString(), "ARROZ");
    wire::DataPacket out = data->packet();
    ASSERT_EQ(out.fields.size(), 2u);
    EXPECT_EQ(out.rows[1][1], std::nullopt);
    EXPECT_THROW(data->loadPacket({{{"CODE", "string", 10}}, {}}), std::runtime_error);
    EXPECT_EQ(data->recordCount(), 2);  // a refused packet leaves the rows as they were
}

TEST_F(DataSetTest, LocateMatchesWholeValuesOptionallyIgnoringCase) {
    data->loadPacket({{{"CODE", "string", 10}, {"NAME", "string", 10}}, {{"A1", "um"}, {"b2", "dois"}}});
    EXPECT_TRUE(data->locate("CODE", "B2", true));
    EXPECT_EQ(data->recNo(), 1);
    EXPECT_FALSE(data->locate("CODE", "B2", false));
    EXPECT_FALSE(data->locate("CODE", "A", true));
    EXPECT_EQ(data->recNo(), 1);
}

TEST_F(DataSetTest, InsertPutsTheNewRecordBeforeTheCurrentOne) {
    data->createDataSet();
    for (const char* code : {"1", "2", "3"}) {
        data->insert();
        data->fieldByName("CODE").setAsString(code);
        data->post();
    }
    std::vector<std::string> codes;
    for (data->first(); !data->eof(); data->next()) codes.push_back(data->fieldByName("CODE").asString());
    EXPECT_EQ(codes, (std::vector<std::string>{"3", "2", "1"}));
    EXPECT_THROW(data->fieldByName("CODE").setAsString("x"), std::logic_error);
}

TEST(TMessages, KeysMatchRegardlessOfLetterCase) {
    struct F : vol::Form {
        explicit F(vol::Application& a) : Form(a, "frmMsg") {}
    };
    F* form = nullptr;
    vol::Application::instance().createForm(form);
    auto& m = form->makeComponent<vol::TMessages>("msgPadrao");
    m.Messages = {"Ativa|Ativa", "Inativa|Inativa", "HORARIO|Horário Inicial deve ser menor"};
    EXPECT_EQ(m.Msg("ativa"), "Ativa");
    EXPECT_EQ(m.Msg("INATIVA"), "Inativa");
    EXPECT_EQ(m.Msg("horario"), "Horário Inicial deve ser menor");
    vol::Application::instance().destroyAll();
}

}  // namespace
