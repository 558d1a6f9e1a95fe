// The control model's event and focus rules, through a small form.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/CheckBox.h"
#include "controls/GroupBox.h"
#include "controls/MaskEdit.h"
#include "controls/RadioButton.h"
#include "controls/TBtnPesquisa.h"
#include "data/ClientDataSet.h"
#include "data/DataSource.h"
#include "forms/Application.h"
#include "forms/TfrmRotiGeral.h"
#include "forms/UserInput.h"
#include "ui/ScriptedUserInterface.h"
#include "units/Consiste.h"

namespace {

using vol::Component;

struct TestForm : vol::TfrmRotiGeral {
    explicit TestForm(vol::Application& app) : TfrmRotiGeral(app, "frmTest") {
        group = &make<vol::GroupBox>(grbDadosRel, "grbGroup");
        group->setTabOrder(1);
        code = &make<vol::MaskEdit>(grbDadosRel, "medCode");
        code->setEditMask(">aaaa;0; ");
        code->setTabOrder(0);
        second = &make<vol::MaskEdit>(group, "medSecond");
        second->setTabOrder(1);
        first = &make<vol::MaskEdit>(group, "medFirst");
        first->setTabOrder(0);
        disabled = &make<vol::MaskEdit>(group, "medDisabled");
        disabled->setTabOrder(2);
        disabled->setEnabled(false);
        radioA = &make<vol::RadioButton>(group, "rbtA");
        radioA->setTabOrder(3);
        radioB = &make<vol::RadioButton>(group, "rbtB");
        radioB->setTabOrder(4);
        box = &make<vol::CheckBox>(grbDadosRel, "chbBox");
        box->setTabOrder(2);
        data = &makeComponent<vol::ClientDataSet>("cdsData");
        source = &makeComponent<vol::DataSource>("dtsData");
        source->setDataSet(data);
        lookup = &make<vol::TBtnPesquisa>(grbDadosRel, "btnCode");
        lookup->Associate = code;
        lookup->DataSource = source;
        lookup->Title = "Código";
        lookup->EmptyError = "Nada para listar.";
    }
    vol::GroupBox* group;
    vol::MaskEdit* code;
    vol::MaskEdit* first;
    vol::MaskEdit* second;
    vol::MaskEdit* disabled;
    vol::RadioButton* radioA;
    vol::RadioButton* radioB;
    vol::CheckBox* box;
    vol::ClientDataSet* data;
    vol::DataSource* source;
    vol::TBtnPesquisa* lookup;
};

class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        app.setUserInterface(&ui);
        app.createForm(form);
        form->show();
    }
    void TearDown() override {
        app.destroyAll();
        app.setUserInterface(nullptr);
    }
    std::vector<std::string> names(const std::vector<vol::Control*>& controls) {
        std::vector<std::string> out;
        for (auto* c : controls) out.push_back(c->name());
        return out;
    }

    vol::Application& app = vol::Application::instance();
    vol::ScriptedUserInterface ui;
    vol::UserInput input{app};
    TestForm* form = nullptr;
};

TEST_F(FormTest, TabVisitsEnabledTabStopsDepthFirstByTabOrder) {
    EXPECT_EQ(names(form->tabSequence()),
              (std::vector<std::string>{"medCode", "medFirst", "medSecond", "rbtA", "rbtB", "chbBox"}));
    form->group->setEnabled(false);
    EXPECT_EQ(names(form->tabSequence()), (std::vector<std::string>{"medCode", "chbBox"}));
}

TEST_F(FormTest, ChangeRunsForTypedAndWrittenTextButNotForTheSameText) {
    int changes = 0;
    form->code->OnChange = [&](Component&) { ++changes; };
    form->code->setText("ab");
    EXPECT_EQ(form->code->text(), "AB");
    EXPECT_EQ(changes, 1);
    form->code->setText("AB");
    EXPECT_EQ(changes, 1);
    input.type(*form->code, "x1");  // cleared (one change), then two keys
    EXPECT_EQ(form->code->text(), "X1");
    EXPECT_EQ(changes, 4);
}

TEST_F(FormTest, AFailedExitKeepsTheFocusAndTheActionEndsQuietly) {
    form->first->setFocus();
    form->first->OnExit = [&](Component&) {
        form->first->setFocus();
        vol::MensErro("Código inválido.");
    };
    EXPECT_FALSE(input.focus(*form->second));
    EXPECT_EQ(form->focusedControl(), form->first);
    EXPECT_EQ(ui.takeErrors(), std::vector<std::string>{"Código inválido."});
    // A click on a control that takes the focus does not happen when the exit fails.
    EXPECT_FALSE(input.click(*form->box));
    EXPECT_FALSE(form->box->checked());
}

TEST_F(FormTest, UnexpectedFailuresAreShownAndNeverEscapeTheBoundary) {
    form->box->OnClick = [](Component&) { throw std::runtime_error("Falha ao gravar."); };
    EXPECT_FALSE(input.click(*form->box));
    EXPECT_EQ(ui.takeErrors(), std::vector<std::string>{"Falha ao gravar."});
}

TEST_F(FormTest, RadioButtonsOfOneParentExcludeEachOther) {
    int clicks = 0;
    form->radioA->OnClick = [&](Component&) { ++clicks; };
    input.click(*form->radioA);
    input.click(*form->radioB);
    input.click(*form->radioB);
    EXPECT_FALSE(form->radioA->checked());
    EXPECT_TRUE(form->radioB->checked());
    EXPECT_EQ(clicks, 1);
}

TEST_F(FormTest, AFocusedControlThatIsDisabledLosesTheFocusAndCannotTakeItBack) {
    form->first->setFocus();
    form->first->setEnabled(false);
    EXPECT_EQ(form->focusedControl(), nullptr);
    form->first->setFocus();
    EXPECT_EQ(form->focusedControl(), nullptr);
}

TEST_F(FormTest, LookupShowsTheEmptyNoticeOrPositionsOnThePickedRow) {
    input.click(*form->lookup);
    ASSERT_TRUE(ui.lastList().has_value());
    EXPECT_TRUE(ui.lastList()->empty);
    EXPECT_EQ(ui.lastList()->emptyText, "Nada para listar.");

    form->data->loadPacket({{{"CD", "string", 4}, {"NM", "string", 20}},
                            {{"0001", "Loja Centro"}, {"0002", "Loja Norte"}}});
    form->lookup->OnAfterPesq = [&](Component&) { form->code->setText(form->data->fieldByName("CD").asString()); };
    ui.queuePick(std::vector<std::string>{"Loja Norte"});
    EXPECT_TRUE(input.click(*form->lookup));
    EXPECT_EQ(form->code->text(), "0002");
    EXPECT_EQ(form->focusedControl(), form->code);
    EXPECT_EQ(ui.lastList()->rows.size(), 2u);
    EXPECT_TRUE(ui.takeFaults().empty());
}

TEST_F(FormTest, ClosingWithFreeDestroysTheFormAfterTheAction) {
    bool destroyed = false;
    form->OnDestroy = [&](Component&) { destroyed = true; };
    input.close(*form);
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(app.forms().empty());
}

}  // namespace
