// The form view mirrors the control model and hands the person's keys and clicks to it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include "FormView.h"
#include "FormWindow.h"
#include "MdiFormManager.h"
#include "TestForm.h"
#include "forms/Application.h"
#include "forms/UserInput.h"
#include "ui/ScriptedUserInterface.h"

namespace {

class FormViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        app.setUserInterface(&ui);
        area.resize(500, 400);
        area.show();
        QApplication::setActiveWindow(&area);
        app.runAction([this] {
            app.createForm(form);
            form->show();
        });
        ASSERT_NE(form, nullptr);
        window = manager.windowFor(*form);
        ASSERT_NE(window, nullptr);
        view = window->view();
        QApplication::processEvents();
    }
    void TearDown() override {
        app.destroyAll();
        QApplication::processEvents();
        app.setUserInterface(nullptr);
    }

    QWidget* widget(const std::string& name) const { return view->widgetFor(name); }
    QWidget* focusWidget() const { return view->focusWidgetFor(*form->focusedControl()); }
    std::string focusedName() const {
        return form->focusedControl() != nullptr ? form->focusedControl()->name() : std::string("(none)");
    }
    // What the person does: keys go to the widget that has the keyboard.
    void press(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : view;
        QTest::keyClick(target, key, mods);
    }
    void typeInto(const std::string& name, const QString& keys) {
        QTest::mouseClick(widget(name), Qt::LeftButton, Qt::NoModifier, QPoint(2, 5));
        QTest::keyClick(widget(name), Qt::Key_Home);
        typeKeys(keys);
    }
    // One key press a character, accented ones included (QTest only knows ASCII keys).
    static void typeKeys(const QString& keys) {
        for (QChar ch : keys) {
            QWidget* target = QApplication::focusWidget();
            if (ch.unicode() < 0x80) {
                QTest::keyClick(target, ch.toLatin1());
            } else {
                QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(ch), Qt::NoModifier);
            }
        }
    }

    vol::Application& app = vol::Application::instance();
    vol::ScriptedUserInterface ui;
    vol::UserInput input{app};
    QMdiArea area;
    vol::MdiFormManager manager{app, input, area};
    TestForm* form = nullptr;
    vol::FormWindow* window = nullptr;
    vol::FormView* view = nullptr;
};

TEST_F(FormViewTest, WindowTakesTheFormsCaptionAndClientSize) {
    EXPECT_EQ(window->windowTitle(), "Tela de Teste");
    EXPECT_EQ(view->size(), QSize(300, 200));
    EXPECT_TRUE(window->windowFlags() & Qt::MSWindowsFixedSizeDialogHint);
}

TEST_F(FormViewTest, EveryControlIsAWidgetAtItsGeometryInItsParent) {
    for (vol::Control* c : form->controls()) {
        SCOPED_TRACE(c->name());
        QWidget* w = view->widgetFor(*c);
        ASSERT_NE(w, nullptr);
        const vol::Rect& g = c->geometry();
        EXPECT_EQ(w->pos(), QPoint(g.left, g.top));
        if (c->kind() == vol::ControlKind::Label) {
            EXPECT_GE(w->width(), g.width);
        } else {
            EXPECT_EQ(w->size(), QSize(g.width, g.height));
        }
        QWidget* expectedParent = c->parent() != nullptr ? view->widgetFor(*c->parent()) : view;
        EXPECT_EQ(w->parentWidget(), expectedParent);
    }
}

TEST_F(FormViewTest, CaptionsFontsAndColoursFollowTheirRoles) {
    EXPECT_EQ(static_cast<QLabel*>(widget("lblCodigo"))->text(), "Código");
    EXPECT_TRUE(widget("lblCodigo")->font().bold());
    EXPECT_EQ(widget("lblCodigo")->font().pixelSize(), 11);
    EXPECT_EQ(static_cast<QCheckBox*>(widget("chbAtivo"))->text(), "Ativo");
    EXPECT_EQ(static_cast<QGroupBox*>(widget("rdgTipo"))->title(), "Tipo");
    EXPECT_EQ(static_cast<QToolButton*>(widget("sbtConfirma"))->text(), "Confirmar");
    EXPECT_EQ(widget("sbtConfirma")->toolTip(), "Confirmar (F10)");
    EXPECT_EQ(widget("btnCodigo")->toolTip(), "Pesquisar");
    EXPECT_EQ(widget("medCodigo")->palette().color(QPalette::Base), vol::FormView::infoBackground());
}

struct TypingCase {
    const char* control;
    const char* keys;
    const char* modelText;  // what the code reads
    const char* shown;      // what the line edit shows
};

class TypingTest : public FormViewTest, public ::testing::WithParamInterface<TypingCase> {};

TEST_P(TypingTest, KeysGoThroughTheModel) {
    const TypingCase& t = GetParam();
    typeInto(t.control, QString::fromUtf8(t.keys));
    auto* edit = dynamic_cast<vol::Edit*>(form->findControl(t.control));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), t.modelText);
    EXPECT_EQ(static_cast<QLineEdit*>(widget(t.control))->text().toStdString(), t.shown);
}

INSTANTIATE_TEST_SUITE_P(Edits, TypingTest,
                         ::testing::Values(TypingCase{"medCodigo", "12", "12 ", "12 "},
                                           // The mask refuses letters; Qt's own editing never runs.
                                           TypingCase{"medCodigo", "1a2", "12 ", "12 "},
                                           TypingCase{"edtNome", "Feijão", "Feijão", "Feijão"},
                                           // The model's maximum length, not Qt's.
                                           TypingCase{"edtNome", "abcdefghijkl", "abcdefghij", "abcdefghij"}));

TEST_F(FormViewTest, BackspaceAndCursorKeysEditTheModelText) {
    typeInto("edtNome", "Ana");
    press(Qt::Key_Backspace);
    press(Qt::Key_Home);
    typeKeys("M");
    EXPECT_EQ(form->edtNome->text(), "MAn");
}

TEST_F(FormViewTest, TabEnterAndShiftTabMoveThroughTheModelsTabOrder) {
    QTest::mouseClick(widget("medCodigo"), Qt::LeftButton, Qt::NoModifier, QPoint(2, 5));
    struct Step {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        const char* focus;
    };
    const Step steps[] = {{Qt::Key_Tab, Qt::NoModifier, "edtNome"},
                          {Qt::Key_Return, Qt::NoModifier, "chbAtivo"},
                          {Qt::Key_Tab, Qt::NoModifier, "rdgTipo"},
                          {Qt::Key_Tab, Qt::NoModifier, "medCodigo"},
                          {Qt::Key_Backtab, Qt::ShiftModifier, "rdgTipo"},
                          {Qt::Key_Enter, Qt::NoModifier, "medCodigo"}};
    for (const Step& s : steps) {
        press(s.key, s.mods);
        QApplication::processEvents();
        ASSERT_EQ(focusedName(), s.focus);
        EXPECT_EQ(QApplication::focusWidget(), focusWidget()) << s.focus;
    }
}

TEST_F(FormViewTest, KeyboardEntrySelectsTheTextSoTypingReplacesIt) {
    typeInto("edtNome", "Ana");
    press(Qt::Key_Tab);
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    typeKeys("Bia");
    EXPECT_EQ(form->edtNome->text(), "Bia");
    // Left behind with its text selected, the field no longer shows the selection,
    // whatever changes it later.
    press(Qt::Key_Tab);
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    press(Qt::Key_Tab);
    form->edtNome->setHint("Nome do cliente");
    EXPECT_FALSE(static_cast<QLineEdit*>(widget("edtNome"))->hasSelectedText());
}

TEST_F(FormViewTest, AFailedExitKeepsTheFocusInTheModelAndOnScreen) {
    typeInto("edtNome", "x");
    press(Qt::Key_Tab);
    QApplication::processEvents();
    EXPECT_EQ(focusedName(), "edtNome");
    EXPECT_EQ(QApplication::focusWidget(), widget("edtNome"));
    // A click elsewhere is refused the same way: the check box is not ticked.
    QTest::mouseClick(widget("chbAtivo"), Qt::LeftButton, Qt::NoModifier, QPoint(5, 8));
    QApplication::processEvents();
    EXPECT_EQ(focusedName(), "edtNome");
    EXPECT_FALSE(form->chbAtivo->checked());
    EXPECT_FALSE(static_cast<QCheckBox*>(widget("chbAtivo"))->isChecked());
}

TEST_F(FormViewTest, ClicksAndSpaceChangeTheModelWhichTheWidgetsMirror) {
    QTest::mouseClick(widget("chbAtivo"), Qt::LeftButton, Qt::NoModifier, QPoint(5, 8));
    EXPECT_TRUE(form->chbAtivo->checked());
    EXPECT_EQ(focusedName(), "chbAtivo");
    press(Qt::Key_Space);
    EXPECT_FALSE(form->chbAtivo->checked());
    EXPECT_FALSE(static_cast<QCheckBox*>(widget("chbAtivo"))->isChecked());

    auto* second = widget("rdgTipo")->findChildren<QRadioButton*>().at(1);
    QTest::mouseClick(second, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(form->rdgTipo->itemIndex(), 1);
    EXPECT_EQ(focusedName(), "rdgTipo");
    press(Qt::Key_Up);
    EXPECT_EQ(form->rdgTipo->itemIndex(), 0);
    EXPECT_TRUE(widget("rdgTipo")->findChildren<QRadioButton*>().at(0)->isChecked());
    // The keyboard, and the focus frame, follow the item the arrow picked.
    press(Qt::Key_Down);
    EXPECT_EQ(second->window()->focusWidget(), second);
}

// Tabbing through check boxes and radio items, the clerk sees where the focus is: the
// focused control is drawn differently from the same control without the focus.
TEST_F(FormViewTest, TheFocusedCheckBoxAndRadioItemAreVisiblyMarked) {
    for (const char* name : {"chbAtivo", "rdgTipo"}) {
        vol::Control* control = form->findControl(name);
        ASSERT_NE(control, nullptr) << name;
        QWidget* target = view->focusWidgetFor(*control);
        input.focus(*form->medCodigo);
        QApplication::processEvents();
        const QImage unfocused = target->grab().toImage();
        input.focus(*control);
        QApplication::processEvents();
        ASSERT_EQ(target->window()->focusWidget(), target) << name;
        const QImage focused = target->grab().toImage();
        EXPECT_NE(focused, unfocused) << name << " looks the same with and without the focus";
        // The mark is the highlight colour, round the mark and the caption only, so it
        // never runs over what lies beside the control.
        const QColor highlight = target->palette().color(QPalette::Active, QPalette::Highlight);
        EXPECT_EQ(focused.pixelColor(1, focused.height() / 2), highlight) << name;
        EXPECT_NE(focused.pixelColor(focused.width() - 2, focused.height() / 2), highlight) << name;
    }
}

TEST_F(FormViewTest, ChangesMadeByCodeAreMirrored) {
    app.runAction([this] {
        form->medCodigo->setText("7");
        form->edtNome->setEnabled(false);
        form->chbAtivo->setChecked(true);
        form->rdgTipo->setItemIndex(1);
        form->lblCodigo->setVisible(false);
    });
    EXPECT_EQ(static_cast<QLineEdit*>(widget("medCodigo"))->text(), "7  ");
    EXPECT_FALSE(widget("edtNome")->isEnabled());
    EXPECT_TRUE(static_cast<QCheckBox*>(widget("chbAtivo"))->isChecked());
    EXPECT_TRUE(widget("rdgTipo")->findChildren<QRadioButton*>().at(1)->isChecked());
    EXPECT_TRUE(widget("lblCodigo")->isHidden());
}

TEST_F(FormViewTest, F10ConfirmsAndF2OpensTheAssociatedLookup) {
    QTest::mouseClick(widget("medCodigo"), Qt::LeftButton, Qt::NoModifier, QPoint(2, 5));
    press(Qt::Key_F10);
    EXPECT_EQ(form->confirmClicks, 1);

    ui.queuePick(std::vector<std::string>{"Feijão"});
    press(Qt::Key_F2);
    EXPECT_EQ(form->medCodigo->text(), "002");
    EXPECT_EQ(static_cast<QLineEdit*>(widget("medCodigo"))->text(), "002");
    ASSERT_TRUE(ui.lastList().has_value());
    EXPECT_EQ(ui.lastList()->title, "Códigos");
}

TEST_F(FormViewTest, ClosingTheFormFromItsOwnButtonRemovesTheWindowSafely) {
    form->closeOnConfirm = true;
    QPointer<vol::FormWindow> guard(window);
    QTest::mouseClick(widget("sbtConfirma"), Qt::LeftButton);
    EXPECT_TRUE(app.forms().empty());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    form = nullptr;
}

TEST_F(FormViewTest, TheWindowsCloseButtonAsksTheForm) {
    window->close();
    EXPECT_TRUE(app.forms().empty());  // the base screen releases itself on close
}

}  // namespace
