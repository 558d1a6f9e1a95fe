#include "ListDialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "DataSetTableModel.h"

namespace vol {

ListDialog::ListDialog(const QString& title, const DataSet& rows, Mode mode, QWidget* parent, int startRow,
                       const std::vector<int>& ticked)
    : QDialog(parent), mode_(mode), model_(new DataSetTableModel(rows, mode == Mode::Multi, this)),
      filter_(new QLineEdit(this)), table_(new QTableView(this)), count_(new QLabel(this)) {
    setWindowTitle(title);
    setModal(true);

    filter_->setPlaceholderText("Digite para filtrar");
    filter_->setClearButtonEnabled(true);
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(new QLabel("Filtrar:", this));
    filterRow->addWidget(filter_, 1);
    filterRow->addWidget(count_);

    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setAlternatingRowColors(true);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    // Fixed row heights and column widths from the field sizes: nothing scans the rows,
    // so a list of a hundred thousand rows opens at once.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    table_->horizontalHeader()->setStretchLastSection(true);
    int charWidth = fontMetrics().averageCharWidth();
    int total = 0;
    for (int c = 0; c < model_->columnCount(); ++c) {
        int w = std::clamp(model_->columnChars(c) * charWidth + 16, 28, 420);
        table_->setColumnWidth(c, w);
        total += w;
    }
    if (mode_ == Mode::View) {
        // A list that only shows is short (a product's history): its columns are measured
        // on their contents, so no date or rule is cut.
        table_->horizontalHeader()->setStretchLastSection(false);
        table_->resizeColumnsToContents();
        total = table_->horizontalHeader()->length();
    }
    table_->setMinimumWidth(std::min(total + 30, mode_ == Mode::View ? 1200 : 900));
    table_->setMinimumHeight(300);
    table_->installEventFilter(this);
    filter_->installEventFilter(this);

    auto* buttons = new QDialogButtonBox(this);
    if (mode_ == Mode::View) {
        buttons->addButton("Fechar", QDialogButtonBox::RejectRole);
    } else {
        buttons->addButton("OK", QDialogButtonBox::AcceptRole)->setDefault(false);
        buttons->addButton("Cancelar", QDialogButtonBox::RejectRole);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filterRow);
    layout->addWidget(table_, 1);
    if (mode_ == Mode::Multi) {
        auto* all = new QPushButton("Marcar todos", this);
        auto* none = new QPushButton("Desmarcar todos", this);
        all->setAutoDefault(false);
        none->setAutoDefault(false);
        connect(all, &QPushButton::clicked, this, [this] { model_->setTickShown(true); });
        connect(none, &QPushButton::clicked, this, [this] { model_->setTickShown(false); });
        marked_ = new QLabel(this);
        marked_->setObjectName("marked");
        auto* tickRow = new QHBoxLayout;
        tickRow->addWidget(all);
        tickRow->addWidget(none);
        tickRow->addStretch(1);
        tickRow->addWidget(marked_);
        for (int row : ticked) model_->setTicked(row, true);
        connect(model_, &QAbstractItemModel::dataChanged, this, [this] { updateMarked(); });
        updateMarked();
        layout->addLayout(tickRow);
    }
    layout->addWidget(buttons);
    for (QAbstractButton* b : buttons->buttons()) {
        if (auto* push = qobject_cast<QPushButton*>(b)) push->setAutoDefault(false);
    }

    connect(buttons, &QDialogButtonBox::accepted, this, [this] { confirm(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& t) { applyFilter(t); });
    connect(table_, &QTableView::doubleClicked, this, [this](const QModelIndex& i) {
        if (mode_ == Mode::View || (mode_ == Mode::Multi && i.column() == 0)) return;
        confirm();
    });

    applyFilter({});
    // The list has the focus: the arrows, Space and Enter work at once, and typing still
    // reaches the filter.
    if (startRow > 0 && startRow < model_->rowCount()) {
        table_->selectRow(startRow);
        table_->scrollTo(model_->index(startRow, 0), QAbstractItemView::PositionAtCenter);
    }
    table_->setFocus();
}

void ListDialog::updateMarked() {
    if (marked_ == nullptr) return;
    const auto n = model_->tickedRows().size();
    marked_->setText(n == 1 ? QString("1 produto marcado") : QString("%1 produtos marcados").arg(n));
}

std::vector<int> ListDialog::ticked() const {
    if (result() != QDialog::Accepted) return {};
    return model_->tickedRows();
}

void ListDialog::applyFilter(const QString& text) {
    model_->setFilter(text);
    if (model_->rowCount() > 0) table_->selectRow(0);
    updateCount();
}

void ListDialog::updateCount() {
    count_->setText(QString("%1 de %2").arg(model_->rowCount()).arg(model_->totalRows()));
}

void ListDialog::confirm() {
    if (mode_ == Mode::Single) {
        QModelIndex current = table_->currentIndex();
        if (!current.isValid() || model_->rowCount() == 0) return;
        picked_ = model_->sourceRow(current.row());
    }
    accept();
}

bool ListDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (mode_ == Mode::View) {
                reject();
            } else {
                confirm();
            }
            return true;
        case Qt::Key_Escape:
            reject();
            return true;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            if (watched == filter_) {
                // Moving through the rows does not leave the filter line.
                QKeyEvent copy(key->type(), key->key(), key->modifiers());
                table_->setFocus();
                QCoreApplication::sendEvent(table_, &copy);
                filter_->setFocus();
                return true;
            }
            break;
        case Qt::Key_A:
            if (mode_ == Mode::Multi && key->modifiers() == Qt::ControlModifier) {
                model_->setTickShown(true);
                return true;
            }
            break;
        case Qt::Key_Space:
            if (watched == table_ && mode_ == Mode::Multi) {
                model_->toggleTick(table_->currentIndex().row());
                return true;
            }
            break;
        default:
            break;
    }
    if (watched == table_ && !key->text().isEmpty() && key->text().at(0).isPrint() &&
        !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        // Typing over the table goes on in the filter line.
        filter_->setFocus();
        filter_->insert(key->text());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace vol
