#pragma once
// What a station's local database holds for its branch, read from the server's data.

#include <string>

#include "demodata/DemoDataSet.h"
#include "server/store/RuleStore.h"

namespace server {

/// The rows of a station's local database for the branch, as one state of the database:
/// the branch, every consumer type, the consumer types the branch uses, the products it
/// sells and its assortment (the other members of the set stay empty). Throws
/// std::runtime_error for a branch that is not stored.
demo::DataSet stationData(RuleStore& store, const std::string& branch);

}  // namespace server
