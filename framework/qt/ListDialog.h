#pragma once
// The lookup list and the multi-pick list.

#include <QDialog>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QTableView;

namespace vol {

class DataSet;
class DataSetTableModel;

/// A modal list of a dataset's rows under a title. Typing (in the filter line, or
/// anywhere in the table) filters the rows; Up/Down/PgUp/PgDn move in the table from the
/// filter line. Single mode: Enter or a double click picks the current row. Multi mode:
/// a tick column, Space or a click ticks, "Marcar todos"/"Desmarcar todos" tick the rows
/// shown, Enter confirms. Esc cancels in both.
class ListDialog : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Single, Multi };

    ListDialog(const QString& title, const DataSet& rows, Mode mode, QWidget* parent = nullptr);

    /// Single mode: the dataset row picked, nullopt when cancelled or nothing is shown.
    std::optional<int> picked() const { return picked_; }
    /// Multi mode: the ticked dataset rows in dataset order (empty when cancelled).
    std::vector<int> ticked() const;

    QLineEdit* filterLine() const { return filter_; }
    QTableView* table() const { return table_; }
    DataSetTableModel* model() const { return model_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyFilter(const QString& text);
    void confirm();
    void updateCount();

    Mode mode_;
    DataSetTableModel* model_;
    QLineEdit* filter_;
    QTableView* table_;
    QLabel* count_;
    std::optional<int> picked_;
};

}  // namespace vol
