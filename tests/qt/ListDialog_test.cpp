// The lookup and multi-pick lists: filtering, picking, ticking, and speed on big lists.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "DataSetTableModel.h"
#include <QLabel>

#include "ListDialog.h"
#include "data/ClientDataSet.h"
#include "forms/Application.h"
#include "forms/Form.h"

namespace {

using vol::ListDialog;

class ListDialogTest : public ::testing::Test {
protected:
    vol::ClientDataSet& products(int count) {
        auto& cds = owner.makeComponent<vol::ClientDataSet>("cds" + std::to_string(++made));
        wire::DataPacket packet{{{"CDPRODUTO", "string", 10}, {"NMPRODUTO", "string", 40}, {"HIDDEN", "string", 5}}, {}};
        const char* names[] = {"ARROZ BRANCO TIPO 1 5KG", "FEIJÃO CARIOCA 1KG", "AÇÚCAR CRISTAL 5KG", "CAFÉ TORRADO 500G"};
        for (int i = 1; i <= count; ++i) {
            char code[16];
            std::snprintf(code, sizeof code, "%010d", i);
            packet.rows.push_back({code, std::string(names[(i - 1) % 4]), "x"});
        }
        for (const auto& f : packet.fields) {
            vol::FieldDef def;
            def.name = f.name;
            def.size = f.size;
            def.visible = f.name != "HIDDEN";
            cds.addField(def);
        }
        cds.loadPacket(packet);
        return cds;
    }

    // Runs the dialog, letting the keys be pressed once it is up.
    template <class Keys>
    void runWith(ListDialog& dialog, Keys keys) {
        QTimer::singleShot(0, &dialog, [&] { keys(); });
        dialog.exec();
    }

    vol::Form owner{vol::Application::instance(), "frmDados"};
    int made = 0;
};

TEST_F(ListDialogTest, ColumnsAreTheVisibleFieldsUnderTheirTitles) {
    auto& data = products(3);
    data.fieldDef("NMPRODUTO").displayLabel = "Produto";
    vol::DataSetTableModel model(data, false);
    ASSERT_EQ(model.columnCount(), 2);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), "CDPRODUTO");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "Produto");
    EXPECT_EQ(model.data(model.index(1, 1)).toString(), QString::fromUtf8("FEIJÃO CARIOCA 1KG"));
}

struct FilterCase {
    const char* filter;
    int rows;
};

class FilterTest : public ListDialogTest, public ::testing::WithParamInterface<FilterCase> {};

TEST_P(FilterTest, TypingFiltersIgnoringCaseAndAccents) {
    vol::DataSetTableModel model(products(8), false);
    model.setFilter(QString::fromUtf8(GetParam().filter));
    EXPECT_EQ(model.rowCount(), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(Texts, FilterTest,
                         ::testing::Values(FilterCase{"", 8}, FilterCase{"feijao", 2}, FilterCase{"FEIJÃO", 2},
                                           FilterCase{"acucar", 2}, FilterCase{"0000000007", 1},
                                           FilterCase{"5kg", 4}, FilterCase{"zzz", 0},
                                           // Hidden fields are not searched, nor across cells.
                                           FilterCase{"x", 0}, FilterCase{"1KG0", 0}));

TEST_F(ListDialogTest, AHundredThousandRowsOpenAndFilterWithoutAPause) {
    auto& data = products(100000);
    QElapsedTimer clock;
    clock.start();
    ListDialog dialog("Produto", data, ListDialog::Mode::Single);
    dialog.show();
    QApplication::processEvents();
    qint64 open = clock.restart();
    QTest::keyClicks(dialog.filterLine(), "cafe");
    qint64 filter = clock.restart();
    QTest::keyClicks(dialog.filterLine(), " t");
    qint64 narrow = clock.elapsed();
    EXPECT_EQ(dialog.model()->rowCount(), 25000);
    // Generous bounds: this build runs under the sanitizers.
    EXPECT_LT(open, 1000);
    EXPECT_LT(filter, 4000);
    EXPECT_LT(narrow, 1000);
}

TEST_F(ListDialogTest, EnterPicksTheCurrentRowOfTheFilteredList) {
    ListDialog dialog("Produto", products(8), ListDialog::Mode::Single);
    runWith(dialog, [&] {
        QTest::keyClicks(dialog.filterLine(), "cafe");
        QTest::keyClick(dialog.filterLine(), Qt::Key_Down);
        QTest::keyClick(dialog.filterLine(), Qt::Key_Return);
    });
    ASSERT_TRUE(dialog.picked().has_value());
    EXPECT_EQ(*dialog.picked(), 7);  // the second coffee, product 8
}

TEST_F(ListDialogTest, EscCancelsAndEnterOnAnEmptyListPicksNothing) {
    ListDialog cancelled("Produto", products(8), ListDialog::Mode::Single);
    runWith(cancelled, [&] { QTest::keyClick(cancelled.filterLine(), Qt::Key_Escape); });
    EXPECT_FALSE(cancelled.picked().has_value());

    ListDialog nothing("Produto", products(8), ListDialog::Mode::Single);
    runWith(nothing, [&] {
        QTest::keyClicks(nothing.filterLine(), "zzz");
        QTest::keyClick(nothing.filterLine(), Qt::Key_Return);
        EXPECT_TRUE(nothing.isVisible());
        nothing.reject();
    });
    EXPECT_FALSE(nothing.picked().has_value());
}

TEST_F(ListDialogTest, TickAllTicksOnlyTheRowsShownAndSpaceToggles) {
    ListDialog dialog("Produto", products(8), ListDialog::Mode::Multi);
    runWith(dialog, [&] {
        QTest::keyClicks(dialog.filterLine(), "arroz");
        dialog.model()->setTickShown(true);
        dialog.filterLine()->clear();
        dialog.table()->setFocus();
        dialog.table()->setCurrentIndex(dialog.model()->index(1, 1));
        QTest::keyClick(dialog.table(), Qt::Key_Space);
        QTest::keyClick(dialog.table(), Qt::Key_Return);
    });
    EXPECT_EQ(dialog.ticked(), (std::vector<int>{0, 1, 4}));
}

TEST_F(ListDialogTest, ACancelledMultiPickTicksNothing) {
    ListDialog dialog("Produto", products(8), ListDialog::Mode::Multi);
    runWith(dialog, [&] {
        dialog.model()->setTickShown(true);
        QTest::keyClick(dialog.filterLine(), Qt::Key_Escape);
    });
    EXPECT_TRUE(dialog.ticked().empty());
}

// The product list as the registration screen opens it: the mark field visible.
vol::ClientDataSet& markedProducts(vol::Form& owner) {
    auto& cds = owner.makeComponent<vol::ClientDataSet>("cdsProduto");
    for (const char* name : {"IDMARCADO", "CDPRODUTO", "NMPRODUTO"}) {
        vol::FieldDef def;
        def.name = name;
        def.size = std::string(name) == "IDMARCADO" ? 1 : 20;
        def.visible = true;
        cds.addField(def);
    }
    cds.loadPacket({{{"IDMARCADO", "string", 1}, {"CDPRODUTO", "string", 10}, {"NMPRODUTO", "string", 20}},
                    {{"", "0000000001", "ARROZ"}, {"", "0000000002", "FEIJÃO"}, {"", "0000000003", "CAFÉ"},
                     {"", "0000000004", "CAFÉ SOLÚVEL"}}});
    return cds;
}

TEST_F(ListDialogTest, TheProductListShowsTheProductColumnsAndTheCountOfMarks) {
    ListDialog dialog("Produtos", markedProducts(owner), ListDialog::Mode::Multi, nullptr, 0, {1});
    ASSERT_EQ(dialog.model()->columnCount(), 3);  // the tick, the code, the name
    for (int c = 0; c < dialog.model()->columnCount(); ++c) {
        EXPECT_NE(dialog.model()->headerData(c, Qt::Horizontal).toString(), "IDMARCADO");
    }
    ASSERT_NE(dialog.markedLabel(), nullptr);
    EXPECT_EQ(dialog.markedLabel()->text(), "1 produto marcado");
    dialog.model()->setTickShown(true);
    EXPECT_EQ(dialog.markedLabel()->text(), "4 produtos marcados");
    ListDialog single("Produto", markedProducts(owner), ListDialog::Mode::Single);
    EXPECT_EQ(single.markedLabel(), nullptr);
}

// Keyboard only: the list has the focus, Space marks, Ctrl+A marks what the filter
// shows, typing goes to the filter, Enter confirms.
TEST_F(ListDialogTest, TheProductListIsWorkedFromTheKeyboard) {
    ListDialog dialog("Produtos", markedProducts(owner), ListDialog::Mode::Multi);
    runWith(dialog, [&] {
        EXPECT_EQ(dialog.focusWidget(), dialog.table());
        QTest::keyClick(dialog.table(), Qt::Key_Space);  // ARROZ
        QTest::keyClick(dialog.table(), Qt::Key_Down);
        QTest::keyClick(dialog.table(), Qt::Key_Space);  // FEIJÃO
        QTest::keyClick(dialog.table(), Qt::Key_Space);  // and off again
        QTest::keyClicks(dialog.table(), "caf");
        EXPECT_EQ(dialog.focusWidget(), dialog.filterLine());
        EXPECT_EQ(dialog.filterLine()->text(), "caf");
        QTest::keyClick(dialog.filterLine(), Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(dialog.markedLabel()->text(), "3 produtos marcados");
        QTest::keyClick(dialog.filterLine(), Qt::Key_Return);
    });
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.ticked(), (std::vector<int>{0, 2, 3}));
}

TEST_F(ListDialogTest, EscLeavesTheListUnconfirmed) {
    ListDialog dialog("Produtos", markedProducts(owner), ListDialog::Mode::Multi, nullptr, 0, {0});
    runWith(dialog, [&] {
        QTest::keyClick(dialog.table(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(dialog.table(), Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(ListDialogTest, ALookupOpensOnItsStartRow) {
    ListDialog dialog("Produto", products(8), ListDialog::Mode::Single, nullptr, 5);
    runWith(dialog, [&] {
        EXPECT_EQ(dialog.focusWidget(), dialog.table());
        QTest::keyClick(dialog.table(), Qt::Key_Return);
    });
    ASSERT_TRUE(dialog.picked().has_value());
    EXPECT_EQ(*dialog.picked(), 5);
}

}  // namespace
