#pragma once
// The demo data set as the server's reference data.

#include "server/store/ReferenceData.h"
#include "demodata/DemoDataSet.h"

namespace server {

/// The rows of the demo set the server stores.
/// Takes the set's rows table by table, so that a large set is not held twice.
ReferenceData referenceDataOf(demo::DataSet&& set);

}  // namespace server
