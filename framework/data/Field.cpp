#include "data/Field.h"

#include <stdexcept>

#include "data/DataSet.h"

namespace vol {

const FieldDef& Field::def() const { return data_->fields_[static_cast<std::size_t>(index_)]; }

const wire::Cell* Field::currentCell() const {
    const wire::Row* row = nullptr;
    if (data_->state_ == DataSet::State::Insert) {
        row = &data_->buffer_;
    } else if (data_->current_ >= 0) {
        row = &data_->rows_[static_cast<std::size_t>(data_->current_)];
    }
    if (row == nullptr || static_cast<std::size_t>(index_) >= row->size()) return nullptr;
    return &(*row)[static_cast<std::size_t>(index_)];
}

std::string Field::asString() const {
    const wire::Cell* c = currentCell();
    return (c != nullptr && c->has_value()) ? **c : std::string();
}

bool Field::isNull() const {
    const wire::Cell* c = currentCell();
    return c == nullptr || !c->has_value();
}

void Field::setAsString(const std::string& value) {
    auto i = static_cast<std::size_t>(index_);
    switch (data_->state_) {
        case DataSet::State::Insert:
            data_->buffer_[i] = value;
            return;
        case DataSet::State::Calculate:
            if (def().kind == FieldKind::Calculated) {
                data_->rows_[static_cast<std::size_t>(data_->current_)][i] = value;
                return;
            }
            break;
        case DataSet::State::Browse:
            break;
    }
    throw std::logic_error("O campo " + def().name + " de " + data_->name() + " não está em edição.");
}

}  // namespace vol
