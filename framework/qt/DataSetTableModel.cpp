#include "DataSetTableModel.h"

#include <algorithm>

#include "QtText.h"
#include "data/DataSet.h"

namespace vol {

DataSetTableModel::DataSetTableModel(const DataSet& rows, bool tickColumn, QObject* parent)
    : QAbstractTableModel(parent), data_(rows), tick_(tickColumn) {
    const auto& defs = data_.fieldDefs();
    for (std::size_t i = 0; i < defs.size(); ++i) {
        if (defs[i].visible && !(tick_ && defs[i].name == "IDMARCADO")) fields_.push_back(static_cast<int>(i));
    }
    int n = data_.recordCount();
    shown_.resize(static_cast<std::size_t>(n));
    for (int r = 0; r < n; ++r) shown_[static_cast<std::size_t>(r)] = r;
    ticked_.assign(static_cast<std::size_t>(n), 0);
}

int DataSetTableModel::totalRows() const { return data_.recordCount(); }

int DataSetTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

int DataSetTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(fields_.size()) + (tick_ ? 1 : 0);
}

QVariant DataSetTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    int row = sourceRow(index.row());
    if (tick_ && index.column() == 0) {
        if (role == Qt::CheckStateRole) return ticked(row) ? Qt::Checked : Qt::Unchecked;
        return {};
    }
    if (role == Qt::DisplayRole) return toQt(data_.displayText(row, fieldOf(index.column())));
    return {};
}

QVariant DataSetTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    if (tick_ && section == 0) return QString();
    if (section < 0 || section >= columnCount()) return {};
    return toQt(data_.fieldDefs().at(static_cast<std::size_t>(fieldOf(section))).title());
}

Qt::ItemFlags DataSetTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (tick_ && index.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
}

bool DataSetTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!tick_ || index.column() != 0 || role != Qt::CheckStateRole || index.row() >= rowCount()) return false;
    bool on = value.toInt() == Qt::Checked;
    ticked_[static_cast<std::size_t>(sourceRow(index.row()))] = on ? 1 : 0;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

QString DataSetTableModel::fold(const QString& text) {
    // Decomposing and dropping the combining marks lets "feijao" find "FEIJÃO".
    QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed) {
        if (c.category() == QChar::Mark_NonSpacing) continue;
        out.append(c.toLower());
    }
    return out;
}

void DataSetTableModel::buildSearchText() {
    if (!search_.empty() || data_.recordCount() == 0) return;
    int n = data_.recordCount();
    search_.resize(static_cast<std::size_t>(n));
    for (int r = 0; r < n; ++r) {
        std::string joined;
        for (int f : fields_) {
            joined += data_.displayText(r, f);
            joined += '\x1f';  // no search text runs across two cells
        }
        search_[static_cast<std::size_t>(r)] = fold(toQt(joined));
    }
}

void DataSetTableModel::setFilter(const QString& text) {
    QString folded = fold(text);
    if (folded == filter_) return;
    beginResetModel();
    // A longer filter can only narrow the rows shown, so only those are searched again.
    bool narrowing = !filter_.isEmpty() && folded.startsWith(filter_);
    filter_ = folded;
    if (filter_.isEmpty()) {
        int n = data_.recordCount();
        shown_.resize(static_cast<std::size_t>(n));
        for (int r = 0; r < n; ++r) shown_[static_cast<std::size_t>(r)] = r;
    } else {
        buildSearchText();
        std::vector<int> next;
        auto matches = [this](int r) { return search_[static_cast<std::size_t>(r)].contains(filter_); };
        if (narrowing) {
            for (int r : shown_) {
                if (matches(r)) next.push_back(r);
            }
        } else {
            for (int r = 0; r < data_.recordCount(); ++r) {
                if (matches(r)) next.push_back(r);
            }
        }
        shown_ = std::move(next);
    }
    endResetModel();
}

void DataSetTableModel::setTickShown(bool on) {
    if (!tick_) return;
    for (int r : shown_) ticked_[static_cast<std::size_t>(r)] = on ? 1 : 0;
    if (!shown_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
}

void DataSetTableModel::setTicked(int sourceRow, bool on) {
    if (!tick_ || sourceRow < 0 || sourceRow >= static_cast<int>(ticked_.size())) return;
    ticked_[static_cast<std::size_t>(sourceRow)] = on ? 1 : 0;
    emit dataChanged(index(0, 0), index(std::max(rowCount() - 1, 0), 0), {Qt::CheckStateRole});
}

void DataSetTableModel::toggleTick(int row) {
    if (!tick_ || row < 0 || row >= rowCount()) return;
    QModelIndex i = index(row, 0);
    setData(i, ticked(sourceRow(row)) ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

std::vector<int> DataSetTableModel::tickedRows() const {
    std::vector<int> out;
    for (std::size_t r = 0; r < ticked_.size(); ++r) {
        if (ticked_[r] != 0) out.push_back(static_cast<int>(r));
    }
    return out;
}

int DataSetTableModel::columnChars(int column) const {
    if (tick_ && column == 0) return 2;
    const FieldDef& def = data_.fieldDefs().at(static_cast<std::size_t>(fieldOf(column)));
    int chars = def.displayWidth > 0 ? def.displayWidth : def.size;
    if (chars <= 0) chars = 12;
    return std::max(chars, static_cast<int>(def.title().size()));
}

}  // namespace vol
