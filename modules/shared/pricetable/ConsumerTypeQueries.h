#pragma once
// The consumer types of the local database, as the price screens look them up.

#include <string>

#include "data/DataSource.h"
#include "data/TADOIBQuery.h"
#include "forms/Form.h"

namespace vnd {

/// The two consumer-type queries of the host's local database (every type, or one by
/// code; the types assigned to a branch) and the data source their lookup lists. Made on
/// the screen's form with the names the screens have always used.
class ConsumerTypeQueries {
public:
    explicit ConsumerTypeQueries(vol::Form& form);
    ConsumerTypeQueries(const ConsumerTypeQueries&) = delete;
    ConsumerTypeQueries& operator=(const ConsumerTypeQueries&) = delete;

    /// Opens the lookup's list for a branch: the branch's own types, or every type when
    /// the branch has none assigned.
    void openForBranch(const std::string& branch);
    /// The query the lookup listed last (positioned on the picked row after a pick).
    vol::TADOIBQuery& listed() const;
    /// Opens the query of one type by code; true when it exists (qryTipoCons is then on it).
    bool find(const std::string& code);

    vol::TADOIBQuery* qryTipoCons;
    vol::TADOIBQuery* qryTipoConsFili;
    vol::DataSource* dtsTipoCons;
};

}  // namespace vnd
