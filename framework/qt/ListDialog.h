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

/// A modal list of a dataset's rows under a title. It opens with the focus in the table,
/// on the start row. Typing (in the filter line, or anywhere in the table, which moves
/// the focus to the filter line) filters the rows; Up/Down/PgUp/PgDn move in the table
/// from the filter line. Single mode: Enter or a double click picks the current row.
/// Multi mode: a tick column in place of the dataset's mark field IDMARCADO, the given
/// rows ticked at the start; Space or a click ticks and unticks, Ctrl+A or "Marcar todos"
/// ticks the rows shown, "Desmarcar todos" unticks them, "N produtos marcados" always
/// shows the count, Enter confirms. Esc cancels in both. View mode only shows: its
/// columns as wide as their contents, one "Fechar" button; Enter and Esc close it.
class ListDialog : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Single, Multi, View };

    ListDialog(const QString& title, const DataSet& rows, Mode mode, QWidget* parent = nullptr, int startRow = 0,
               const std::vector<int>& ticked = {});

    /// Single mode: the dataset row picked, nullopt when cancelled or nothing is shown.
    std::optional<int> picked() const { return picked_; }
    /// Multi mode: the ticked dataset rows in dataset order (empty when cancelled).
    std::vector<int> ticked() const;

    QLineEdit* filterLine() const { return filter_; }
    QTableView* table() const { return table_; }
    /// Multi mode: the label with the count of ticked rows; null in single mode.
    QLabel* markedLabel() const { return marked_; }
    DataSetTableModel* model() const { return model_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyFilter(const QString& text);
    void confirm();
    void updateCount();
    void updateMarked();

    Mode mode_;
    DataSetTableModel* model_;
    QLineEdit* filter_;
    QTableView* table_;
    QLabel* count_;
    QLabel* marked_ = nullptr;
    std::optional<int> picked_;
};

}  // namespace vol
