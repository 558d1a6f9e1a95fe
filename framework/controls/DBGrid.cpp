#include "controls/DBGrid.h"

#include <algorithm>
#include <stdexcept>

#include "data/ClientDataSet.h"

namespace vol {

DBGrid::DBGrid(Form& owner, Control* parent, std::string name)
    : Control(owner, parent, std::move(name), ControlKind::Grid) {}

void DBGrid::setTotalRows(int n) {
    n = std::max(n, 0);
    if (total_ == n) return;
    total_ = n;
    changed();
}

int DBGrid::loadedRows() const { return DataSet != nullptr && DataSet->active() ? DataSet->recordCount() : 0; }

bool DBGrid::fetchMore() {
    // A view may ask again while a page is on its way (the wait pumps events): one fetch
    // at a time.
    const bool firstPage = loadedRows() == 0;
    if (fetching_ || (!firstPage && !canFetchMore()) || !OnFetchPage) return false;
    fetching_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{fetching_};
    const int before = loadedRows();
    OnFetchPage(*this, before, PageSize);
    // A server that answers fewer rows than it counted must not make the grid ask forever.
    if (loadedRows() == before) total_ = before;
    changed();
    return loadedRows() > before;
}

void DBGrid::ensureLoaded(int row) {
    while (row >= loadedRows() && fetchMore()) {
    }
}

void DBGrid::clear() {
    if (DataSet != nullptr) DataSet->createDataSet();
    total_ = 0;
    selected_.clear();
    changed();
}

void DBGrid::rowsChanged() {
    const int loaded = loadedRows();
    std::erase_if(selected_, [loaded](int r) { return r >= loaded; });
    changed();
}

std::vector<int> DBGrid::columnFields() const {
    std::vector<int> fields;
    if (DataSet == nullptr) return fields;
    const auto& defs = DataSet->fieldDefs();
    for (std::size_t i = 0; i < defs.size(); ++i) {
        if (defs[i].visible) fields.push_back(static_cast<int>(i));
    }
    return fields;
}

std::vector<std::string> DBGrid::columnTitles() const {
    std::vector<std::string> titles;
    for (int f : columnFields()) titles.push_back(DataSet->fieldDefs()[static_cast<std::size_t>(f)].title());
    return titles;
}

int DBGrid::columnOf(const std::string& title) const {
    const std::vector<std::string> titles = columnTitles();
    auto it = std::find(titles.begin(), titles.end(), title);
    return it == titles.end() ? -1 : static_cast<int>(it - titles.begin());
}

std::string DBGrid::cellText(int row, int column) const {
    const std::vector<int> fields = columnFields();
    if (column < 0 || static_cast<std::size_t>(column) >= fields.size() || row < 0 || row >= loadedRows()) {
        throw std::out_of_range(name() + ": célula " + std::to_string(row) + "," + std::to_string(column) +
                                " inexistente.");
    }
    return DataSet->displayText(row, fields[static_cast<std::size_t>(column)]);
}

int DBGrid::currentRow() const { return loadedRows() > 0 ? DataSet->recNo() : -1; }

void DBGrid::setCurrentRow(int row) {
    if (row < 0 || row >= loadedRows() || row == currentRow()) return;
    DataSet->setRecNo(row);
    selectionChanged();
}

void DBGrid::setSelectedRows(std::vector<int> rows) {
    const int loaded = loadedRows();
    std::erase_if(rows, [loaded](int r) { return r < 0 || r >= loaded; });
    const int last = rows.empty() ? -1 : rows.back();
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows == selected_ && (last < 0 || last == currentRow())) return;
    selected_ = std::move(rows);
    if (last >= 0) DataSet->setRecNo(last);
    selectionChanged();
}

std::vector<int> DBGrid::rowsToActOn() const {
    if (!selected_.empty()) return selected_;
    if (currentRow() >= 0) return {currentRow()};
    return {};
}

void DBGrid::selectionChanged() {
    changed();
    if (OnSelectionChanged) OnSelectionChanged(*this);
}

}  // namespace vol
