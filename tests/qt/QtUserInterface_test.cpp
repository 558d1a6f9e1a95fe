// The Qt user interface: its questions, lists and progress animation.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "ListDialog.h"
#include "ProgressWidget.h"
#include "QtUserInterface.h"
#include "data/ClientDataSet.h"
#include "forms/Application.h"
#include "forms/Form.h"

namespace {

// Presses the button with the text (its mnemonic left out) on the dialog that is up next;
// "Enter" presses Enter on it instead.
void answerWith(const QString& buttonText, QString* shownText = nullptr) {
    QTimer::singleShot(0, [buttonText, shownText] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        if (shownText != nullptr) *shownText = box->text();
        if (buttonText == "Enter") {
            QTest::keyClick(box, Qt::Key_Return);
            return;
        }
        for (QAbstractButton* b : box->buttons()) {
            if (b->text().remove('&') == buttonText) {
                b->click();
                return;
            }
        }
        ADD_FAILURE() << "no button " << buttonText.toStdString();
        box->reject();
    });
}

struct AnswerCase {
    const char* button;
    vol::DefaultAnswer byDefault;
    bool yes;
};

class AskYesNoTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(AskYesNoTest, TheQuestionHasSimAndNaoAndEnterGivesTheDefault) {
    QWidget window;
    vol::QtUserInterface ui(&window);
    QString shown;
    answerWith(GetParam().button, &shown);
    EXPECT_EQ(ui.askYesNo("Confirma a gravação?", GetParam().byDefault), GetParam().yes);
    EXPECT_EQ(shown, "Confirma a gravação?");
}

INSTANTIATE_TEST_SUITE_P(Buttons, AskYesNoTest,
                         ::testing::Values(AnswerCase{"Sim", vol::DefaultAnswer::No, true},
                                           AnswerCase{"Não", vol::DefaultAnswer::Yes, false},
                                           AnswerCase{"Enter", vol::DefaultAnswer::Yes, true},
                                           AnswerCase{"Enter", vol::DefaultAnswer::No, false}));

TEST(QtUserInterfaceTest, TheErrorBoxShowsTheTextAndRestoresTheCursor) {
    QWidget window;
    vol::QtUserInterface ui(&window);
    ui.setCursor(vol::Cursor::HourGlass);
    QString shown;
    answerWith("OK", &shown);
    ui.showError("Filial não cadastrada.");
    EXPECT_EQ(shown, "Filial não cadastrada.");
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ui.setCursor(vol::Cursor::Default);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtUserInterfaceTest, TheLookupReturnsTheRowPickedInTheList) {
    QWidget window;
    vol::QtUserInterface ui(&window);
    vol::Form owner(vol::Application::instance(), "frmDados");
    auto& cds = owner.makeComponent<vol::ClientDataSet>("cdsFilial");
    cds.loadPacket({{{"CDFILIAL", "string", 4}, {"NMFILIAL", "string", 30}},
                    {{"0001", "Loja Centro"}, {"0002", "Loja Norte"}, {"0003", "Depósito Sul"}}});
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<vol::ListDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Filial");
        QTest::keyClicks(dialog->filterLine(), "norte");
        QTest::keyClick(dialog->filterLine(), Qt::Key_Return);
    });
    EXPECT_EQ(ui.lookup("Filial", cds), std::optional<int>(1));
}

TEST(QtUserInterfaceTest, TheProgressAnimationShowsItsCaptionUntilHidden) {
    QWidget window;
    window.resize(400, 300);
    window.show();
    vol::QtUserInterface ui(&window);
    ui.showProgress(vol::ProgressKind::Store, "Gravando preços...");
    ASSERT_NE(ui.progress(), nullptr);
    EXPECT_TRUE(ui.progress()->isVisible());
    EXPECT_EQ(ui.progress()->findChild<QLabel*>()->text(), "Gravando preços...");
    ui.pump();
    ui.hideProgress();
    EXPECT_FALSE(ui.progress()->isVisible());
    ui.showProgress(vol::ProgressKind::Search, "");
    EXPECT_EQ(ui.progress()->findChild<QLabel*>()->text(), "Pesquisando...");
    ui.hideProgress();
}

}  // namespace
