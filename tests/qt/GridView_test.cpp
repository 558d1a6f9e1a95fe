// The grid's view: the loaded rows, more fetched at the end, the person's selection handed
// to the model, Delete as the grid's own key; the memo's text mirrored.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTest>

#include "FormView.h"
#include "FormWindow.h"
#include "MdiFormManager.h"
#include "controls/DBGrid.h"
#include "controls/Memo.h"
#include "data/ClientDataSet.h"
#include "forms/Application.h"
#include "forms/TfrmRotiGeral.h"
#include "forms/UserInput.h"
#include "ui/ScriptedUserInterface.h"

namespace {

// Twenty numbered rows, fetched five at a time.
struct GridForm : vol::TfrmRotiGeral {
    explicit GridForm(vol::Application& app) : TfrmRotiGeral(app, "frmGrade") {
        setCaption("Grade");
        setClientSize(300, 260);
        rows = &makeComponent<vol::ClientDataSet>("cdsLinhas");
        vol::FieldDef code;
        code.name = "CODIGO";
        code.size = 6;
        code.displayLabel = "Código";
        rows->addField(code);
        rows->createDataSet();
        grid = &make<vol::DBGrid>(grbDadosRel, "grdLinhas");
        grid->setGeometry({4, 4, 240, 120});
        grid->setTabStop(true);
        grid->DataSet = rows;
        grid->PageSize = 5;
        grid->OnFetchPage = [this](vol::DBGrid& g, int offset, int limit) {
            wire::DataPacket page;
            page.fields = {{"CODIGO", "string", 6}};
            for (int r = offset; r < std::min(offset + limit, 20); ++r) page.rows.push_back({std::to_string(r + 1)});
            rows->appendPacket(page);
            g.setTotalRows(20);
        };
        grid->OnDeleteKey = [this](vol::Component&) { ++deletes; };
        memo = &make<vol::Memo>(grbDadosRel, "memTexto");
        memo->setGeometry({4, 130, 240, 60});
    }
    vol::ClientDataSet* rows;
    vol::DBGrid* grid;
    vol::Memo* memo;
    int deletes = 0;
};

class GridViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        app.setUserInterface(&ui);
        area.resize(500, 400);
        area.show();
        app.runAction([this] {
            app.createForm(form);
            form->show();
            form->grid->fetchMore();
        });
        view = manager.windowFor(*form)->view();
        table = qobject_cast<QTableView*>(view->widgetFor("grdLinhas"));
        ASSERT_NE(table, nullptr);
        QApplication::processEvents();
    }
    void TearDown() override {
        app.destroyAll();
        QApplication::processEvents();
        app.setUserInterface(nullptr);
    }

    vol::Application& app = vol::Application::instance();
    vol::ScriptedUserInterface ui;
    vol::UserInput input{app};
    QMdiArea area;
    vol::MdiFormManager manager{app, input, area};
    GridForm* form = nullptr;
    vol::FormView* view = nullptr;
    QTableView* table = nullptr;
};

TEST_F(GridViewTest, ShowsTheLoadedRowsAndFetchesMoreAtTheEnd) {
    EXPECT_EQ(table->model()->rowCount(), 5);
    EXPECT_EQ(table->model()->headerData(0, Qt::Horizontal).toString(), "Código");
    EXPECT_EQ(table->model()->index(4, 0).data().toString(), "5");
    table->scrollToBottom();
    for (int i = 0; i < 20 && table->model()->rowCount() < 10; ++i) QTest::qWait(10);
    EXPECT_GE(form->grid->loadedRows(), 10);
    EXPECT_EQ(table->model()->rowCount(), form->grid->loadedRows());
}

TEST_F(GridViewTest, ThePersonsSelectionGoesToTheModelAndDeleteIsTheGridsKey) {
    input.focus(*form->grid);
    QApplication::processEvents();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, table->visualRect(table->model()->index(1, 0)).center());
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      table->visualRect(table->model()->index(3, 0)).center());
    EXPECT_EQ(form->grid->selectedRows(), (std::vector<int>{1, 3}));
    EXPECT_EQ(form->grid->currentRow(), 3);
    QTest::keyClick(table, Qt::Key_Delete);
    EXPECT_EQ(form->deletes, 1);
    // The model's own selection is shown again.
    form->grid->setSelectedRows({0});
    EXPECT_EQ(table->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(table->selectionModel()->selectedRows().front().row(), 0);
}

// Ctrl+Home and Ctrl+End reach the ends of the list: the grid's last row in all (its pages
// fetched), not the last one loaded; the read-only text's ends likewise.
struct EndKeyCase {
    Qt::Key key;
    int gridRow;       // the row selected and current after the key
    bool memoAtStart;  // the caret of the text at its start
};

class EndKeysTest : public GridViewTest, public ::testing::WithParamInterface<EndKeyCase> {};

TEST_P(EndKeysTest, GoToTheEndsOfTheListAndOfTheText) {
    input.selectRows(*form->grid, {2});
    QApplication::processEvents();
    QTest::keyClick(table, GetParam().key, Qt::ControlModifier);
    EXPECT_EQ(form->grid->selectedRows(), (std::vector<int>{GetParam().gridRow}));
    EXPECT_EQ(form->grid->currentRow(), GetParam().gridRow);
    EXPECT_EQ(table->currentIndex().row(), GetParam().gridRow);

    std::string text;
    for (int line = 1; line <= 40; ++line) text += "Linha " + std::to_string(line) + "\n";
    form->memo->setText(text);
    auto* memo = qobject_cast<QPlainTextEdit*>(view->widgetFor("memTexto"));
    input.focus(*form->memo);
    QApplication::processEvents();
    memo->moveCursor(GetParam().memoAtStart ? QTextCursor::End : QTextCursor::Start);
    QTest::keyClick(memo, GetParam().key, Qt::ControlModifier);
    EXPECT_EQ(memo->textCursor().atStart(), GetParam().memoAtStart);
    EXPECT_EQ(memo->textCursor().atEnd(), !GetParam().memoAtStart);
}

INSTANTIATE_TEST_SUITE_P(Keys, EndKeysTest,
                         ::testing::Values(EndKeyCase{Qt::Key_End, 19, false}, EndKeyCase{Qt::Key_Home, 0, true}));

TEST_F(GridViewTest, TheMemoShowsTheModelsTextAndTakesNoTyping) {
    form->memo->setText("Preço base: R$ 33,18\nPreço final: R$ 31,18");
    auto* text = qobject_cast<QPlainTextEdit*>(view->widgetFor("memTexto"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->toPlainText(), "Preço base: R$ 33,18\nPreço final: R$ 31,18");
    EXPECT_TRUE(text->isReadOnly());
}

}  // namespace
