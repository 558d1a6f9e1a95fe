#pragma once
// A data grid: the rows of a client dataset, fetched a page at a time, with a current
// row and a multiple selection.

#include <functional>
#include <string>
#include <vector>

#include "controls/Control.h"

namespace vol {

class ClientDataSet;

/// A grid over a client dataset that holds the rows fetched so far. The columns are the
/// dataset's visible fields (titles and widths from their definitions, cells as lists
/// show them). The grid knows how many rows there are in all (totalRows, set by whoever
/// fetches), and asks for the next page with OnFetchPage when the person scrolls past the
/// rows loaded: the handler appends the page to the dataset and sets the total again. So
/// a grid over a million rows holds only the pages looked at.
///
/// The selection is a set of loaded rows; the current row is the dataset's record. Every
/// change is reported to the form's observers; OnSelectionChanged runs after the person
/// (or the code) changed the selection or the current row, OnDeleteKey when the person
/// presses Delete in the grid.
class DBGrid : public Control {
public:
    DBGrid(Form& owner, Control* parent, std::string name);

    /// The dataset of the loaded rows; the grid does not own it.
    ClientDataSet* DataSet = nullptr;
    /// Rows asked for at a time.
    int PageSize = 200;
    /// Fetch the rows [offset, offset + limit) and append them to DataSet. A failure ends
    /// the running action; the rows loaded so far stay.
    std::function<void(DBGrid& sender, int offset, int limit)> OnFetchPage;
    NotifyEvent OnSelectionChanged;
    NotifyEvent OnDeleteKey;

    /// Rows in all, loaded or not.
    int totalRows() const { return total_; }
    void setTotalRows(int n);
    /// Rows held by the dataset.
    int loadedRows() const;
    bool canFetchMore() const { return loadedRows() < total_; }
    /// Asks for the page after the loaded rows: with none loaded, the first page (a new
    /// search); else the next while rows are missing. Does nothing while a fetch runs.
    /// Returns true when rows were added.
    bool fetchMore();
    /// Fetches pages until the row is loaded (or no more come).
    void ensureLoaded(int row);
    /// Forgets the rows, the total and the selection (the dataset is emptied): a new
    /// search starts from its first page.
    void clear();
    /// Tells the observers that the dataset's rows changed under the grid; the selection
    /// keeps only rows still loaded.
    void rowsChanged();

    /// The visible fields' indexes in the dataset, in column order.
    std::vector<int> columnFields() const;
    std::vector<std::string> columnTitles() const;
    /// The column of that title, or -1.
    int columnOf(const std::string& title) const;
    /// A loaded cell as shown; throws std::out_of_range for a row or column that is not there.
    std::string cellText(int row, int column) const;

    /// The current row (-1 when none); setting it moves the dataset's record.
    int currentRow() const;
    void setCurrentRow(int row);
    /// The selected rows, ascending. An empty selection with a current row means the
    /// current row alone, as a person reads a grid: see rowsToActOn().
    const std::vector<int>& selectedRows() const { return selected_; }
    /// Selects these loaded rows (others are dropped), the last one becoming current.
    void setSelectedRows(std::vector<int> rows);
    /// The rows an action on "the selected rows" takes: the selection, or the current row.
    std::vector<int> rowsToActOn() const;

private:
    void selectionChanged();

    int total_ = 0;
    std::vector<int> selected_;
    bool fetching_ = false;
};

}  // namespace vol
