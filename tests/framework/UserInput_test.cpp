// The keyboard rules of the user input, the same for the desktop and the scenario runner.

#include "forms/UserInput.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "controls/GroupBox.h"
#include "controls/MaskEdit.h"
#include "controls/RadioButton.h"
#include "controls/RadioGroup.h"
#include "controls/TButtonFlat.h"
#include "controls/TNumberEdit.h"
#include "forms/Abort.h"
#include "forms/Application.h"
#include "forms/Form.h"
#include "ui/ScriptedUserInterface.h"

namespace {

struct KeyboardForm : vol::Form {
    explicit KeyboardForm(vol::Application& app) : Form(app, "frmKeyboard") {
        amount = &make<vol::TNumberEdit>(nullptr, "numAmount");
        amount->setTabOrder(0);
        whole = &make<vol::TNumberEdit>(nullptr, "numWhole");
        whole->setDecimals(0);
        whole->setTabOrder(1);
        kind = &make<vol::RadioGroup>(nullptr, "rdgKind");
        kind->setItems({"Desconto", "Acréscimo", "Nenhum"});
        kind->setItemIndex(0);
        kind->setTabOrder(2);
        box = &make<vol::GroupBox>(nullptr, "grbMode");
        box->setTabOrder(3);
        // Made out of their tab order: the arrows follow the tab order.
        last = &make<vol::RadioButton>(box, "rbtLast");
        last->setTabOrder(2);
        first = &make<vol::RadioButton>(box, "rbtFirst");
        first->setTabOrder(0);
        middle = &make<vol::RadioButton>(box, "rbtMiddle");
        middle->setTabOrder(1);
        first->setChecked(true);
        code = &make<vol::MaskEdit>(nullptr, "medCode");
        code->setTabOrder(4);
        confirm = &make<vol::TButtonFlat>(nullptr, "sbtConfirm");
        confirm->setShortcut("F10");
        confirm->OnClick = [this](vol::Component&) { ++confirmed; };
    }
    vol::TNumberEdit* amount;
    vol::TNumberEdit* whole;
    vol::RadioGroup* kind;
    vol::GroupBox* box;
    vol::RadioButton* first;
    vol::RadioButton* middle;
    vol::RadioButton* last;
    vol::MaskEdit* code;
    vol::TButtonFlat* confirm;
    int confirmed = 0;
};

class UserInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        app.setUserInterface(&ui);
        app.createForm(form);
        form->show();
    }
    void TearDown() override {
        app.settings().decimalSeparator = ',';
        app.destroyAll();
        app.setUserInterface(nullptr);
    }

    vol::Application& app = vol::Application::instance();
    vol::ScriptedUserInterface ui;
    vol::UserInput input{app};
    KeyboardForm* form = nullptr;
};

struct AmountCase {
    const char* typed;
    char separator;
    const char* whileTyping;  // the text before the focus leaves
    const char* afterLeaving;
};
std::ostream& operator<<(std::ostream& os, const AmountCase& c) {
    return os << '"' << c.typed << "\" with '" << c.separator << '\'';
}

class TypedAmounts : public UserInputTest, public testing::WithParamInterface<AmountCase> {};

// A keypad's "." is the decimal key: the amount must never grow tenfold.
TEST_P(TypedAmounts, PointAndCommaAreBothTheDecimalSeparator) {
    const AmountCase& c = GetParam();
    app.settings().decimalSeparator = c.separator;
    ASSERT_TRUE(input.type(*form->amount, c.typed));
    EXPECT_EQ(form->amount->text(), c.whileTyping);
    input.tab(*form);
    EXPECT_EQ(form->amount->text(), c.afterLeaving);
}

INSTANTIATE_TEST_SUITE_P(Amounts, TypedAmounts, testing::Values(
    AmountCase{"12.5", ',', "12,5", "12,50"},
    AmountCase{"12,5", ',', "12,5", "12,50"},
    AmountCase{"1.2.3", ',', "1,23", "1,23"},   // the second separator is refused
    AmountCase{"1,2.3", ',', "1,23", "1,23"},
    AmountCase{".5", ',', ",5", "0,50"},
    AmountCase{"-7.25", ',', "-7,25", "-7,25"},
    AmountCase{"12,5", '.', "12.5", "12.50"},   // an installation with the point
    AmountCase{"12.5", '.', "12.5", "12.50"}));

TEST_F(UserInputTest, ARefusedKeyIsReportedAndLeavesTheText) {
    input.type(*form->amount, "12,5");
    bool accepted = true;
    EXPECT_TRUE(input.typeChar(*form, U'.', &accepted));
    EXPECT_FALSE(accepted);
    EXPECT_EQ(form->amount->text(), "12,5");
    EXPECT_TRUE(input.typeChar(*form, U'0', &accepted));
    EXPECT_TRUE(accepted);
    EXPECT_EQ(form->amount->text(), "12,50");
}

TEST_F(UserInputTest, AWholeNumberEditRefusesBothSeparators) {
    input.type(*form->whole, "3.4,5");
    EXPECT_EQ(form->whole->text(), "345");
}

struct RadioKeyCase {
    const char* name;
    const char* start;  // the focused control
    std::vector<vol::Key> keys;
    const char* focus;  // afterwards
    int kindIndex;
    const char* checked;  // the radio button checked afterwards
};
std::ostream& operator<<(std::ostream& os, const RadioKeyCase& c) { return os << c.name; }

class RadioKeys : public UserInputTest, public testing::WithParamInterface<RadioKeyCase> {};

// Every radio group answers the same keys: the arrows move and pick, Space picks, Tab
// leaves.
TEST_P(RadioKeys, MoveAndPick) {
    const RadioKeyCase& c = GetParam();
    form->findControl(c.start)->setFocus();
    for (vol::Key k : c.keys) input.key(*form, k);
    EXPECT_EQ(form->focusedControl()->name(), c.focus);
    EXPECT_EQ(form->kind->itemIndex(), c.kindIndex);
    for (vol::RadioButton* r : {form->first, form->middle, form->last}) {
        EXPECT_EQ(r->checked(), r->name() == c.checked) << r->name();
    }
}

using vol::Key;
INSTANTIATE_TEST_SUITE_P(Keys, RadioKeys, testing::Values(
    RadioKeyCase{"group_down_picks", "rdgKind", {Key::Down}, "rdgKind", 1, "rbtFirst"},
    RadioKeyCase{"group_right_twice", "rdgKind", {Key::Right, Key::Right}, "rdgKind", 2, "rbtFirst"},
    RadioKeyCase{"group_stays_at_the_end", "rdgKind", {Key::Down, Key::Down, Key::Down}, "rdgKind", 2, "rbtFirst"},
    RadioKeyCase{"group_up_at_the_start", "rdgKind", {Key::Up, Key::Left}, "rdgKind", 0, "rbtFirst"},
    RadioKeyCase{"group_tab_leaves", "rdgKind", {Key::Tab}, "rbtFirst", 0, "rbtFirst"},
    RadioKeyCase{"group_backtab_leaves", "rdgKind", {Key::BackTab}, "numWhole", 0, "rbtFirst"},
    RadioKeyCase{"buttons_down_moves_and_picks", "rbtFirst", {Key::Down}, "rbtMiddle", 0, "rbtMiddle"},
    RadioKeyCase{"buttons_right_twice", "rbtFirst", {Key::Right, Key::Right}, "rbtLast", 0, "rbtLast"},
    RadioKeyCase{"buttons_stay_at_the_end", "rbtLast", {Key::Down}, "rbtLast", 0, "rbtFirst"},
    RadioKeyCase{"buttons_up_moves_back", "rbtLast", {Key::Up}, "rbtMiddle", 0, "rbtMiddle"},
    RadioKeyCase{"buttons_space_picks", "rbtLast", {Key::Space}, "rbtLast", 0, "rbtLast"}),
    [](const testing::TestParamInfo<RadioKeyCase>& p) { return std::string(p.param.name); });

TEST_F(UserInputTest, ArrowsSkipADisabledRadioButton) {
    form->middle->setEnabled(false);
    form->first->setFocus();
    input.key(*form, vol::Key::Down);
    EXPECT_EQ(form->focusedControl(), form->last);
    EXPECT_TRUE(form->last->checked());
}

TEST_F(UserInputTest, SpacePicksTheFirstItemOfAGroupWithNoneMarked) {
    form->kind->setItemIndex(-1);
    form->kind->setFocus();
    input.key(*form, vol::Key::Space);
    EXPECT_EQ(form->kind->itemIndex(), 0);
}

// However the focus is put into an edit, what is typed next replaces its text: the person
// retypes a refused value without erasing it first.
struct FocusEntry {
    const char* name;
    // Puts the focus into form.code, which holds "abc"; the test then types "x".
    void (*enter)(KeyboardForm& form, vol::UserInput& input);
};

std::ostream& operator<<(std::ostream& os, const FocusEntry& e) { return os << e.name; }

class FocusEntryTest : public UserInputTest, public ::testing::WithParamInterface<FocusEntry> {};

TEST_P(FocusEntryTest, WhatIsTypedNextReplacesTheText) {
    form->code->setText("abc");
    GetParam().enter(*form, input);
    ASSERT_EQ(form->focusedControl(), form->code);
    input.typeChar(*form, U'x');
    EXPECT_EQ(form->code->text(), "x");
}

INSTANTIATE_TEST_SUITE_P(
    Entries, FocusEntryTest,
    ::testing::Values(
        FocusEntry{"Tab",
                   [](KeyboardForm& f, vol::UserInput& in) {
                       f.last->setFocus();
                       in.key(f, vol::Key::Tab);
                   }},
        FocusEntry{"ItsOwnExitCheckFailed",
                   [](KeyboardForm& f, vol::UserInput& in) {
                       f.code->setFocus();
                       f.code->setText("abc");  // caret at the end, nothing selected
                       f.code->OnExit = [](vol::Component&) { throw vol::Abort(); };
                       in.key(f, vol::Key::Enter);
                   }},
        FocusEntry{"AnotherFieldsExitCheckNamedIt",
                   [](KeyboardForm& f, vol::UserInput& in) {
                       f.amount->setFocus();
                       f.amount->OnExit = [&f](vol::Component&) {
                           f.code->setFocus();
                           throw vol::Abort();
                       };
                       in.key(f, vol::Key::Tab);
                   }},
        FocusEntry{"ACheckOfTheConfirmKeyNamedTheFieldItIsIn",
                   [](KeyboardForm& f, vol::UserInput& in) {
                       f.code->setFocus();
                       in.key(f, vol::Key::End);
                       f.confirm->OnClick = [&f](vol::Component&) {
                           f.code->setFocus();
                           throw vol::Abort();
                       };
                       in.shortcut(f, "F10");
                   }},
        // A lookup's pick puts the caret into its field from wherever it was.
        FocusEntry{"CodePutItThere", [](KeyboardForm& f, vol::UserInput&) { f.code->setFocus(); }}),
    [](const ::testing::TestParamInfo<FocusEntry>& entry) { return std::string(entry.param.name); });

TEST_F(UserInputTest, AShortcutIsTakenOnlyByAnEnabledButtonThatHasIt) {
    EXPECT_TRUE(input.shortcut(*form, "F10"));
    EXPECT_EQ(form->confirmed, 1);
    EXPECT_FALSE(input.shortcut(*form, "F11"));
    EXPECT_FALSE(input.shortcut(*form, ""));
    form->confirm->setEnabled(false);
    EXPECT_FALSE(input.shortcut(*form, "F10"));
    EXPECT_EQ(form->confirmed, 1);
}

}  // namespace
