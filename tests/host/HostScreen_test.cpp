// The real screen, loaded through the host's module loader and drawn offscreen.

#include <gtest/gtest.h>

#ifdef SCREEN_MODULE_PATH

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "FormView.h"
#include "FormWindow.h"
#include "MainWindow.h"
#include "MdiFormManager.h"
#include "ModuleLoader.h"
#include "QtUserInterface.h"
#include "forms/Application.h"
#include "controls/Edit.h"
#include "forms/UserInput.h"
#include "ui/ScriptedUserInterface.h"

namespace {

class HostScreenTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        loader = new host::ModuleLoader(SCREEN_MODULE_PATH);
        ASSERT_TRUE(loader->start()) << loader->error();
    }
    static void TearDownTestSuite() {
        vol::Application::instance().destroyAll();
        delete loader;  // finalizes and unloads
        loader = nullptr;
    }

    void SetUp() override {
        // No branch preset and no server: every exit check meets blank fields only.
        app.settings() = vol::HostSettings{};
        app.settings().branch = "";
        app.setUserInterface(&scripted);
        window = std::make_unique<host::MainWindow>(app, input, *loader, options);
        window->show();
        QApplication::setActiveWindow(window.get());
        window->openScreen();
        QApplication::processEvents();
        ASSERT_EQ(app.forms().size(), 1u);
        form = app.forms().front();
        formWindow = window->forms()->windowFor(*form);
        ASSERT_NE(formWindow, nullptr);
        view = formWindow->view();
    }
    void TearDown() override {
        // The person closes the screen, so the module knows it is gone before the next open.
        for (vol::Form* f : app.forms()) input.close(*f);
        app.destroyAll();
        window.reset();
        app.setUserInterface(nullptr);
    }

    QWidget* widget(const char* name) const { return view->widgetFor(name); }
    std::string focusedName() const {
        return form->focusedControl() != nullptr ? form->focusedControl()->name() : std::string("(none)");
    }

    static host::ModuleLoader* loader;
    vol::Application& app = vol::Application::instance();
    vol::ScriptedUserInterface scripted;
    vol::UserInput input{app};
    host::HostOptions options;
    std::unique_ptr<host::MainWindow> window;
    vol::Form* form = nullptr;
    vol::FormWindow* formWindow = nullptr;
    vol::FormView* view = nullptr;
};

host::ModuleLoader* HostScreenTest::loader = nullptr;

QString captionOf(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
    if (auto* box = qobject_cast<QGroupBox*>(w)) return box->title();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
    return {};
}

// A second window, as another screen would open beside the first.
struct OtherScreen : vol::Form {
    explicit OtherScreen(vol::Application& app) : Form(app, "frmOutra") {
        setCaption("Outra tela");
        setClientSize(300, 200);
        setPosition(20, 20);
    }
};

// Every screen opens at the top left of the area, or one cascade step further when a
// window is already there, wherever the screen was drawn.
TEST_F(HostScreenTest, TheWindowIsAFixedChildWindowThatOpensAtTheTopLeft) {
    EXPECT_EQ(formWindow->windowTitle(), QString::fromUtf8("Cadastro Automático de Preços Diferenciados"));
    EXPECT_EQ(view->size(), QSize(476, 574));
    EXPECT_EQ(formWindow->pos(), QPoint(0, 0));
    EXPECT_TRUE(formWindow->windowFlags() & Qt::MSWindowsFixedSizeDialogHint);

    OtherScreen* other = nullptr;
    app.createForm(other).show();
    QApplication::processEvents();
    const QPoint step = window->forms()->windowFor(*other)->pos();
    EXPECT_GT(step.x(), 0);
    EXPECT_EQ(step.x(), step.y());
}

TEST_F(HostScreenTest, EveryControlIsDrawnAtItsGeometryWithItsCaption) {
    int captioned = 0;
    for (vol::Control* c : form->controls()) {
        SCOPED_TRACE(c->name());
        QWidget* w = view->widgetFor(*c);
        ASSERT_NE(w, nullptr);
        const vol::Rect& g = c->geometry();
        EXPECT_EQ(w->pos(), QPoint(g.left, g.top));
        // Labels, check boxes and radio buttons are as wide as their caption needs, at least.
        const bool captionWide = c->kind() == vol::ControlKind::Label || c->kind() == vol::ControlKind::CheckBox ||
                                 c->kind() == vol::ControlKind::RadioButton;
        if (g.width > 0 && captionWide) {
            EXPECT_GE(w->width(), g.width);
        } else if (g.width > 0) {
            EXPECT_EQ(w->width(), g.width);
        }
        if (g.height > 0) {
            EXPECT_EQ(w->height(), g.height);
        }
        if (!c->caption().empty() && c->kind() != vol::ControlKind::Panel) {
            EXPECT_EQ(captionOf(w), QString::fromStdString(c->caption()));
            ++captioned;
        }
        EXPECT_EQ(w->isEnabled(), c->enabled());
    }
    EXPECT_GT(captioned, 20);
}

struct Placed {
    const char* name;
    int left, top, width;
    const char* caption;
};

class HostScreenLayoutTest : public HostScreenTest, public ::testing::WithParamInterface<Placed> {};

TEST_P(HostScreenLayoutTest, ControlSitsWhereTheScreenPutsIt) {
    const Placed& p = GetParam();
    QWidget* w = widget(p.name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->pos(), QPoint(p.left, p.top));
    if (p.width > 0) {
        EXPECT_EQ(w->width(), p.width);
    }
    if (*p.caption != '\0') {
        EXPECT_EQ(captionOf(w), QString::fromUtf8(p.caption));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Screen, HostScreenLayoutTest,
    ::testing::Values(Placed{"panTabela", 4, 8, 413, ""}, Placed{"grbProduto", 4, 92, 413, "Produto"},
                      Placed{"grbTipoConsumidor", 4, 235, 413, "Tipo de Consumidor"},
                      Placed{"grbDia", 4, 281, 413, "Dia"}, Placed{"rdgDesAcr", 4, 369, 167, ""},
                      Placed{"rdgValPer", 177, 369, 240, ""}, Placed{"numValPer", 296, 404, 92, ""},
                      Placed{"grbHorario", 4, 435, 167, "Horário"}, Placed{"grbValidade", 177, 435, 240, "Validade"},
                      Placed{"rdgVisualiza", 4, 502, 167, "Visualiza"}, Placed{"lblFilial", 6, 8, 0, "Filial"},
                      Placed{"medCdFilial", 90, 5, 40, ""}, Placed{"btnFilial", 134, 5, 21, ""},
                      Placed{"edtNmFilial", 159, 5, 248, ""}, Placed{"lblTabela", 6, 34, 0, "Tabela Preço"},
                      Placed{"depDtIniVig", 90, 57, 100, ""}, Placed{"lblDtFinVig", 197, 60, 0, "a"},
                      Placed{"rbtTodos", 7, 21, 0, "Todos"}, Placed{"btnListaProd", 81, 41, 21, ""},
                      Placed{"edtNomeFim", 139, 113, 269, ""}, Placed{"chbVesperaFeriado", 8, 64, 0, "Véspera de Feriado"},
                      Placed{"chbQuarta", 173, 71, 0, "Quarta"}, Placed{"chbSabado", 302, 56, 0, "Sábado"},
                      Placed{"medHorarioAte", 44, 37, 41, ""}, Placed{"depValidadeDe", 48, 13, 121, ""},
                      Placed{"lblCodTela", 2, 556, 0, "VND42407"}),
    [](const ::testing::TestParamInfo<Placed>& p) { return std::string(p.param.name); });

TEST_F(HostScreenTest, FieldsStartAsTheScreenDefinesThem) {
    EXPECT_EQ(static_cast<QLineEdit*>(widget("medHorarioDe"))->text(), "00:01");
    EXPECT_EQ(static_cast<QLineEdit*>(widget("medHorarioAte"))->text(), "23:59");
    EXPECT_TRUE(static_cast<QRadioButton*>(widget("rbtTodos"))->isChecked());
    EXPECT_FALSE(widget("medProdIni")->isEnabled());
    EXPECT_FALSE(widget("btnListaProd")->isEnabled());
    EXPECT_FALSE(widget("edtNmFilial")->isEnabled());
    EXPECT_EQ(widget("btnFilial")->toolTip(), "Pesquisar");
    EXPECT_EQ(widget("medCdTabePrec")->palette().color(QPalette::Base), vol::FormView::infoBackground());
    EXPECT_TRUE(widget("lblFilial")->font().bold());
    EXPECT_FALSE(widget("medProdIni")->font().bold());
    EXPECT_NE(widget("depValidadeDe")->findChild<QToolButton*>(), nullptr);  // the calendar button
}

TEST_F(HostScreenTest, TypedKeysReachTheModelThroughItsMasks) {
    QTest::mouseClick(widget("medCdFilial"), Qt::LeftButton, Qt::NoModifier, QPoint(2, 5));
    QTest::keyClick(widget("medCdFilial"), Qt::Key_Home);
    QTest::keyClicks(widget("medCdFilial"), "ab1");
    auto* branch = dynamic_cast<vol::Edit*>(form->findControl("medCdFilial"));
    ASSERT_NE(branch, nullptr);
    EXPECT_EQ(branch->text(), "AB1");
    EXPECT_EQ(static_cast<QLineEdit*>(widget("medCdFilial"))->text(), "AB1 ");

    // Choosing "Intervalo" enables the range edits, which the widgets follow.
    QTest::mouseClick(widget("rbtIntervalo"), Qt::LeftButton, Qt::NoModifier, QPoint(5, 8));
    EXPECT_EQ(focusedName(), "medCdFilial");  // the branch check refuses "AB1" without a server
    EXPECT_FALSE(scripted.takeErrors().empty());
}

TEST_F(HostScreenTest, TabVisitsTheFieldsInTheScreensOrder) {
    const char* expected[] = {"medCdTabePrec", "depDtIniVig", "rbtTodos", "rbtLista", "rbtIntervalo",
                              "edtCdTipoConsumidor", "chbTodosDias", "chbFeriado", "chbVesperaFeriado",
                              "chbDomingo", "chbSegunda", "chbTerca", "chbQuarta", "chbQuinta", "chbSexta",
                              "chbSabado", "rdgDesAcr", "rdgValPer", "numValPer", "medHorarioDe", "medHorarioAte",
                              "depValidadeDe", "depValidadeAte", "rdgVisualiza", "medCdFilial"};
    ASSERT_EQ(focusedName(), "medCdFilial");
    for (const char* name : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QApplication::processEvents();
        ASSERT_EQ(focusedName(), name) << "errors: " << scripted.takeErrors().size();
        EXPECT_EQ(QApplication::focusWidget(), view->focusWidgetFor(*form->focusedControl())) << name;
    }
}

TEST_F(HostScreenTest, TheConfirmKeyAsksAndTheErrorBoxIsAnswered) {
    vol::QtUserInterface qtUi(window.get());
    app.setUserInterface(&qtUi);
    QString shown;
    QTimer::singleShot(0, [&shown] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text();
        box->buttons().front()->click();
    });
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F10);
    app.setUserInterface(&scripted);
    EXPECT_FALSE(shown.isEmpty());
    EXPECT_EQ(app.forms().size(), 1u);  // nothing was stored; the screen stays open
}

// Keyboard only: the usual multi-document keys reach the window menu's actions.
TEST_F(HostScreenTest, CtrlTabMovesBetweenScreensAndCtrlF4ClosesTheActiveOne) {
    auto* other = window->mdiArea()->addSubWindow(new QLineEdit);
    other->setWindowTitle("Outra tela");
    other->show();
    window->mdiArea()->setActiveSubWindow(formWindow);
    QApplication::processEvents();
    window->refreshWindowMenu();
    QStringList listed;
    for (QAction* a : window->windowMenu()->actions()) listed << a->text();
    EXPECT_TRUE(listed.contains(formWindow->windowTitle())) << listed.join(", ").toStdString();
    EXPECT_TRUE(listed.contains("Outra tela")) << listed.join(", ").toStdString();

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(window->mdiArea()->activeSubWindow(), other);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    QApplication::processEvents();
    ASSERT_EQ(window->mdiArea()->activeSubWindow(), formWindow);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_TRUE(app.forms().empty());
    delete other;
}

}  // namespace

#endif
