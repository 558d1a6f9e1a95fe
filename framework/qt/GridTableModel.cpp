#include "GridTableModel.h"

#include <QTimer>

#include "QtText.h"
#include "controls/DBGrid.h"
#include "forms/UserInput.h"

namespace vol {

GridTableModel::GridTableModel(DBGrid& grid, UserInput& input, QObject* parent)
    : QAbstractTableModel(parent), grid_(&grid), input_(input) {
    rows_ = grid.loadedRows();
    columns_ = static_cast<int>(grid.columnFields().size());
}

int GridTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int GridTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

QVariant GridTableModel::data(const QModelIndex& index, int role) const {
    if (grid_ == nullptr || role != Qt::DisplayRole || index.row() >= grid_->loadedRows()) return {};
    return toQt(grid_->cellText(index.row(), index.column()));
}

QVariant GridTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (grid_ == nullptr || role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    const auto titles = grid_->columnTitles();
    return section < static_cast<int>(titles.size()) ? toQt(titles[static_cast<std::size_t>(section)]) : QVariant();
}

bool GridTableModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && grid_ != nullptr && grid_->canFetchMore();
}

void GridTableModel::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || fetchQueued_) return;
    fetchQueued_ = true;
    // Qt asks from inside its layout and scrolling code; the server call waits (and pumps
    // events), so it runs once that code has returned.
    QTimer::singleShot(0, this, [this] {
        fetchQueued_ = false;
        if (grid_ != nullptr) input_.fetchMore(*grid_);
    });
}

void GridTableModel::sync() {
    if (grid_ == nullptr) return;
    const int rows = grid_->loadedRows();
    const int columns = static_cast<int>(grid_->columnFields().size());
    if (columns == columns_ && rows > rows_) {
        beginInsertRows({}, rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
        return;
    }
    if (columns == columns_ && rows == rows_) return;
    beginResetModel();
    rows_ = rows;
    columns_ = columns;
    endResetModel();
}

}  // namespace vol
