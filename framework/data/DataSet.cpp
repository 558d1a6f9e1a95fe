#include "data/DataSet.h"

#include <algorithm>
#include <stdexcept>

#include "text/MaskEngine.h"

namespace vol {

DataSet::DataSet(Form& owner, std::string name) : Component(&owner, std::move(name)) {}

void DataSet::addField(FieldDef def) {
    if (active_) throw std::logic_error("Não é possível definir campos de " + name() + " aberto.");
    fields_.push_back(std::move(def));
}

int DataSet::fieldIndex(const std::string& name) const {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

FieldDef& DataSet::fieldDef(const std::string& fieldName) {
    int i = fieldIndex(fieldName);
    if (i < 0) throw std::out_of_range(name() + ": Campo " + fieldName + " não encontrado.");
    return fields_[static_cast<std::size_t>(i)];
}

Field DataSet::fieldByName(const std::string& fieldName) {
    int i = fieldIndex(fieldName);
    if (i < 0) throw std::out_of_range(name() + ": Campo " + fieldName + " não encontrado.");
    return Field(*this, i);
}

void DataSet::close() {
    rows_.clear();
    active_ = false;
    current_ = -1;
    eof_ = true;
    state_ = State::Browse;
}

void DataSet::setRecNo(int index) {
    if (index < 0 || index >= recordCount()) {
        throw std::out_of_range(name() + ": registro " + std::to_string(index) + " inexistente.");
    }
    current_ = index;
    eof_ = false;
}

void DataSet::first() {
    current_ = rows_.empty() ? -1 : 0;
    eof_ = rows_.empty();
}

void DataSet::next() {
    if (current_ < 0) return;
    if (current_ + 1 < recordCount()) {
        ++current_;
    } else {
        eof_ = true;
    }
}

namespace {
bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (x != y && std::tolower(x) != std::tolower(y)) return false;
    }
    return true;
}
}  // namespace

bool DataSet::locate(const std::string& field, const std::string& value, bool caseInsensitive) {
    int f = fieldIndex(field);
    if (f < 0) throw std::out_of_range(name() + ": Campo " + field + " não encontrado.");
    auto fi = static_cast<std::size_t>(f);
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const wire::Cell& c = rows_[r][fi];
        const std::string& v = c ? *c : std::string();
        if (caseInsensitive ? equalsIgnoringCase(v, value) : v == value) {
            current_ = static_cast<int>(r);
            eof_ = false;
            return true;
        }
    }
    return false;
}

const std::string& DataSet::cell(int row, int field) const {
    static const std::string none;
    const wire::Cell& c = rows_.at(static_cast<std::size_t>(row)).at(static_cast<std::size_t>(field));
    return c ? *c : none;
}

std::string DataSet::displayText(int row, int field) const {
    const std::string& value = cell(row, field);
    const std::string& mask = fields_.at(static_cast<std::size_t>(field)).editMask;
    if (mask.empty() || value.empty()) return value;
    MaskEngine engine(mask);
    std::string shown = engine.editTextFromText(value);
    // Unfilled places of a picture show as blanks in a list.
    return shown;
}

void DataSet::setRows(std::deque<wire::Row> rows) {
    rows_ = std::move(rows);
    active_ = true;
    state_ = State::Browse;
    if (OnCalcFields) {
        for (std::size_t r = 0; r < rows_.size(); ++r) calculate(static_cast<int>(r));
    }
    first();
}

void DataSet::appendRows(std::deque<wire::Row> rows) {
    if (!active_) {
        setRows(std::move(rows));
        return;
    }
    const std::size_t from = rows_.size();
    for (wire::Row& r : rows) rows_.push_back(std::move(r));
    for (std::size_t r = from; r < rows_.size(); ++r) calculate(static_cast<int>(r));
    if (current_ < 0 && !rows_.empty()) first();
}

void DataSet::openEmpty() { setRows({}); }

void DataSet::calculate(int row) {
    if (!OnCalcFields) return;
    State saved = state_;
    int savedCurrent = current_;
    state_ = State::Calculate;
    current_ = row;
    struct Restore {
        DataSet& d;
        State s;
        int c;
        ~Restore() {
            d.state_ = s;
            d.current_ = c;
        }
    } restore{*this, saved, savedCurrent};
    OnCalcFields(*this);
}

}  // namespace vol
