#pragma once
// A dataset as a Qt table model, with a filter and an optional tick column.

#include <QAbstractTableModel>
#include <QString>
#include <vector>

namespace vol {

class DataSet;

/// The visible fields of a dataset as columns (titles from the field definitions, cells
/// as lists show them), over the rows that pass the filter. With a tick column, column 0
/// holds a check mark per row, and the dataset's own mark field IDMARCADO is not shown
/// beside it: the tick column is that mark. Built for large datasets: cells are read only when drawn,
/// and the filter scans a search text per row that is made once.
class DataSetTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    DataSetTableModel(const DataSet& rows, bool tickColumn, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    /// Shows only the rows with a cell containing the text (letter case and accents
    /// ignored); an empty text shows every row.
    void setFilter(const QString& text);
    const QString& filter() const { return filter_; }
    /// The dataset row shown at a table row.
    int sourceRow(int row) const { return shown_.at(static_cast<std::size_t>(row)); }
    int totalRows() const;

    bool hasTickColumn() const { return tick_; }
    /// Ticks or clears every row shown (the filtered ones).
    void setTickShown(bool on);
    /// Toggles the tick of a table row.
    void toggleTick(int row);
    /// Ticks or clears one dataset row; a row out of range is ignored.
    void setTicked(int sourceRow, bool on);
    bool ticked(int sourceRow) const { return ticked_.at(static_cast<std::size_t>(sourceRow)) != 0; }
    /// The ticked dataset rows in dataset order.
    std::vector<int> tickedRows() const;
    /// The width in characters the field's column wants.
    int columnChars(int column) const;

    /// A text folded for searching: lower case, accents removed.
    static QString fold(const QString& text);

private:
    void buildSearchText();
    int fieldOf(int column) const { return fields_.at(static_cast<std::size_t>(column - (tick_ ? 1 : 0))); }

    const DataSet& data_;
    bool tick_;
    std::vector<int> fields_;
    std::vector<int> shown_;
    std::vector<QString> search_;
    std::vector<char> ticked_;
    QString filter_;
};

}  // namespace vol
