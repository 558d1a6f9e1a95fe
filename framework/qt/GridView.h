#pragma once
// The humble view of a data grid: a table of its loaded rows with the model's selection.

#include <QTableView>

namespace vol {

class DBGrid;
class GridTableModel;
class UserInput;

/// Shows a DBGrid: its columns, the loaded rows (more are asked for when scrolled to the
/// end), the selected rows and the current row. What the person selects with mouse or
/// keyboard goes to the model through UserInput::selectRows; mirror() shows the model's
/// state again. Rows are shown in the order the grid holds them; a header click does not
/// sort, since only the loaded pages would be sorted. Ctrl+Home and Ctrl+End go to the
/// first and the last row of the list, the pages up to it fetched, the column kept.
class GridView : public QTableView {
    Q_OBJECT
public:
    GridView(DBGrid& grid, UserInput& input, QWidget* parent = nullptr);

    /// Follows the model: rows, then the selection and the current row.
    void mirror();
    /// Forgets the grid (its form is being destroyed).
    void detach();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void selectionMoved();

    DBGrid* grid_;
    UserInput& input_;
    GridTableModel* model_;
    int mirroring_ = 0;
};

}  // namespace vol
