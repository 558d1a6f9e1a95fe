#pragma once
// A data grid's loaded rows as a Qt table model that asks for more when scrolled to the end.

#include <QAbstractTableModel>

namespace vol {

class DBGrid;
class UserInput;

/// The columns and loaded rows of a DBGrid. Qt's incremental loading asks the model for
/// more rows when the view is scrolled to the end; the model passes that to the grid as
/// the person's action (UserInput::fetchMore), after the view's own call has returned, so
/// a page on its way never runs inside a paint. sync() brings the model level with the
/// grid after it changed.
class GridTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    GridTableModel(DBGrid& grid, UserInput& input, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    /// Follows the grid: rows added after the known ones are inserted, any other change
    /// resets the model.
    void sync();
    /// Forgets the grid (its form is being destroyed).
    void detach() { grid_ = nullptr; }

private:
    DBGrid* grid_;
    UserInput& input_;
    int rows_ = 0;
    int columns_ = 0;
    bool fetchQueued_ = false;
};

}  // namespace vol
