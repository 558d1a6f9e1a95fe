// The data grid: pages fetched as asked, the selection, and a failing page.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "controls/DBGrid.h"
#include "data/ClientDataSet.h"
#include "forms/Application.h"
#include "forms/TfrmRotiGeral.h"
#include "forms/UserInput.h"
#include "ui/ScriptedUserInterface.h"

namespace {

// A grid over a numbered source of `rows` rows, fetched in pages of three.
struct GridForm : vol::TfrmRotiGeral {
    explicit GridForm(vol::Application& app) : TfrmRotiGeral(app, "frmGrid") {
        data = &makeComponent<vol::ClientDataSet>("cdsRows");
        auto field = [this](const char* name, const char* title, bool visible, vol::FieldKind kind) {
            vol::FieldDef f;
            f.name = name;
            f.size = 8;
            f.displayLabel = title;
            f.visible = visible;
            f.kind = kind;
            data->addField(f);
        };
        field("CODE", "Código", true, vol::FieldKind::Data);
        field("SECRET", "", false, vol::FieldKind::Data);
        field("TWICE", "Dobro", true, vol::FieldKind::Calculated);
        data->OnCalcFields = [](vol::DataSet& d) {
            d.fieldByName("TWICE").setAsString(d.fieldByName("CODE").asString() + d.fieldByName("CODE").asString());
        };
        data->createDataSet();
        grid = &make<vol::DBGrid>(grbDadosRel, "grdRows");
        grid->DataSet = data;
        grid->PageSize = 3;
        grid->setTabStop(true);
        grid->OnFetchPage = [this](vol::DBGrid& g, int offset, int limit) {
            asked.push_back(offset);
            if (failAt == offset) throw std::runtime_error("falhou");
            wire::DataPacket page;
            page.fields = {{"CODE", "string", 4}, {"SECRET", "string", 4}};
            for (int r = offset; r < std::min(offset + limit, rows); ++r) page.rows.push_back({std::to_string(r), "x"});
            data->appendPacket(page);
            g.setTotalRows(claimed > 0 ? claimed : rows);
        };
    }
    vol::ClientDataSet* data;
    vol::DBGrid* grid;
    int rows = 8;
    int claimed = 0;  // a total the source claims beyond what it gives
    int failAt = -1;
    std::vector<int> asked;
};

class DBGridTest : public ::testing::Test {
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
    void firstPage() {
        form->grid->clear();
        form->grid->setTotalRows(form->rows);
        form->grid->fetchMore();
    }

    vol::Application& app = vol::Application::instance();
    vol::ScriptedUserInterface ui;
    vol::UserInput input{app};
    GridForm* form = nullptr;
};

TEST_F(DBGridTest, ShowsTheVisibleFieldsIncludingCalculatedOnes) {
    firstPage();
    EXPECT_EQ(form->grid->columnTitles(), (std::vector<std::string>{"Código", "Dobro"}));
    EXPECT_EQ(form->grid->cellText(2, form->grid->columnOf("Dobro")), "22");
    EXPECT_THROW(form->grid->cellText(3, 0), std::out_of_range);
}

TEST_F(DBGridTest, FetchesPagesOnlyUpToTheRowAskedAndStopsAtTheTotal) {
    firstPage();
    EXPECT_EQ(form->grid->loadedRows(), 3);
    EXPECT_TRUE(input.selectRows(*form->grid, {6}));
    EXPECT_EQ(form->asked, (std::vector<int>{0, 3, 6}));
    EXPECT_EQ(form->grid->loadedRows(), 8);
    EXPECT_EQ(form->grid->currentRow(), 6);
    form->grid->ensureLoaded(100);
    EXPECT_FALSE(form->grid->canFetchMore());
    EXPECT_FALSE(form->grid->fetchMore());
    EXPECT_EQ(form->asked.size(), 3u);
}

TEST_F(DBGridTest, ASourceThatGivesLessThanItCountedIsNotAskedForever) {
    form->claimed = 50;
    firstPage();
    form->grid->ensureLoaded(49);
    EXPECT_EQ(form->grid->loadedRows(), 8);
    EXPECT_EQ(form->grid->totalRows(), 8);
}

TEST_F(DBGridTest, AFailingPageEndsTheActionAndKeepsTheRowsLoaded) {
    firstPage();
    form->failAt = 3;
    EXPECT_FALSE(input.fetchMore(*form->grid));
    EXPECT_EQ(ui.takeErrors(), (std::vector<std::string>{"falhou"}));
    EXPECT_EQ(form->grid->loadedRows(), 3);
    form->failAt = -1;
    EXPECT_TRUE(input.fetchMore(*form->grid));
    EXPECT_EQ(form->grid->loadedRows(), 6);
}

TEST_F(DBGridTest, SelectionKeepsLoadedRowsSortedAndActsOnTheCurrentRowWithoutOne) {
    firstPage();
    EXPECT_TRUE(form->grid->rowsToActOn() == std::vector<int>{0});
    form->grid->setSelectedRows({2, 0, 2, 42});
    EXPECT_EQ(form->grid->selectedRows(), (std::vector<int>{0, 2}));
    EXPECT_EQ(form->grid->currentRow(), 2);  // the last row asked that exists
    form->grid->clear();
    EXPECT_TRUE(form->grid->selectedRows().empty());
    EXPECT_TRUE(form->grid->rowsToActOn().empty());
}

TEST_F(DBGridTest, DeleteInTheGridRaisesItsDeleteEvent) {
    firstPage();
    int deletes = 0;
    form->grid->OnDeleteKey = [&](vol::Component&) { ++deletes; };
    ASSERT_TRUE(input.focus(*form->grid));
    EXPECT_TRUE(input.key(*form, vol::Key::Delete));
    EXPECT_EQ(deletes, 1);
}

}  // namespace
