#include "GridView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QItemSelectionModel>

#include <algorithm>

#include "GridTableModel.h"
#include "controls/DBGrid.h"
#include "data/ClientDataSet.h"
#include "forms/UserInput.h"

namespace vol {

GridView::GridView(DBGrid& grid, UserInput& input, QWidget* parent)
    : QTableView(parent), grid_(&grid), input_(input), model_(new GridTableModel(grid, input, this)) {
    setModel(model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setWordWrap(false);
    setAlternatingRowColors(true);
    verticalHeader()->setDefaultSectionSize(18);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(true);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { selectionMoved(); });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { selectionMoved(); });
}

void GridView::detach() {
    grid_ = nullptr;
    model_->detach();
}

void GridView::mirror() {
    if (grid_ == nullptr) return;
    ++mirroring_;
    model_->sync();
    // Column widths follow the fields' widths in characters.
    const std::vector<int> fields = grid_->columnFields();
    // A digit's width: the grid's cells are mostly codes, dates, times and amounts.
    const int charWidth = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    for (std::size_t c = 0; c < fields.size() && grid_->DataSet != nullptr; ++c) {
        const FieldDef& def = grid_->DataSet->fieldDefs()[static_cast<std::size_t>(fields[c])];
        const int chars = def.displayWidth > 0 ? def.displayWidth : def.size;
        if (chars > 0) setColumnWidth(static_cast<int>(c), chars * charWidth + 12);
    }
    QItemSelection wanted;
    for (int row : grid_->selectedRows()) {
        wanted.select(model_->index(row, 0), model_->index(row, model_->columnCount() - 1));
    }
    if (selectionModel()->selection() != wanted) {
        selectionModel()->select(wanted, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    const int current = grid_->currentRow();
    if (current >= 0 && currentIndex().row() != current) {
        selectionModel()->setCurrentIndex(model_->index(current, 0), QItemSelectionModel::NoUpdate);
    }
    --mirroring_;
}

void GridView::keyPressEvent(QKeyEvent* event) {
    const bool home = event->key() == Qt::Key_Home;
    if (grid_ == nullptr || (!home && event->key() != Qt::Key_End) ||
        (event->modifiers() & ~Qt::KeypadModifier) != Qt::ControlModifier) {
        QTableView::keyPressEvent(event);
        return;
    }
    // The end of the list is its last row in all, not the last one loaded; the table's
    // own move would also leave the column the person is reading.
    event->accept();
    const int column = std::max(currentIndex().column(), 0);
    const int row = home ? 0 : grid_->totalRows() - 1;
    if (row < 0 || !input_.selectRows(*grid_, {row}) || grid_ == nullptr) return;
    const QModelIndex at = model_->index(grid_->currentRow(), column);
    ++mirroring_;
    selectionModel()->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
    --mirroring_;
    scrollTo(at);
}

void GridView::selectionMoved() {
    if (mirroring_ > 0 || grid_ == nullptr) return;
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
    // The current row is the last one the person reached: it goes last.
    const int current = currentIndex().row();
    std::erase(rows, current);
    if (current >= 0 && (rows.empty() || selectionModel()->isRowSelected(current, {}))) rows.push_back(current);
    input_.selectRows(*grid_, rows);
}

}  // namespace vol
