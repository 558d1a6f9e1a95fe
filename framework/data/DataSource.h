#pragma once
// What a lookup or a list reads its rows from.

#include "forms/Component.h"

namespace vol {

class DataSet;

/// A data source: points at one dataset, and may be pointed at another.
class DataSource : public Component {
public:
    DataSource(Form& owner, std::string name) : Component(&owner, std::move(name)) {}

    DataSet* dataSet() const { return dataSet_; }
    void setDataSet(DataSet* data) { dataSet_ = data; }

private:
    DataSet* dataSet_ = nullptr;
};

}  // namespace vol
