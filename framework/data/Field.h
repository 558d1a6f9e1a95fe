#pragma once
// A handle on one field of a dataset's current record.

#include <string>

#include "data/FieldDef.h"
#include "protocol/DataPacket.h"

namespace vol {

class DataSet;

/// The value of one field at the dataset's current record (or in the record being
/// inserted, or in the record being calculated). Cheap to copy; valid while the dataset
/// lives.
class Field {
public:
    Field(DataSet& data, int index) : data_(&data), index_(index) {}

    const FieldDef& def() const;
    /// The value as text; a field with no value reads as "".
    std::string asString() const;
    /// Writes the value; allowed while a record is inserted, or on a calculated field
    /// while the record is calculated. Throws std::logic_error otherwise.
    void setAsString(const std::string& value);
    bool isNull() const;

private:
    /// The cell of this field in the record being inserted, or at the current record.
    const wire::Cell* currentCell() const;

    DataSet* data_;
    int index_;
};

}  // namespace vol
