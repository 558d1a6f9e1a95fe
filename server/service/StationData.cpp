#include "server/service/StationData.h"

#include <stdexcept>

#include "server/store/ReferenceTables.h"

namespace server {

demo::DataSet stationData(RuleStore& store, const std::string& branch) {
    demo::DataSet set;
    ReferenceRows rows(store);
    using Cells = ReferenceRows::Cells;
    auto table = [](std::string_view kind) { return *referenceTableOf(kind); };
    store.readTogether([&] {
        rows.forEach(table("filiais"), branch, [&](const Cells& c) {
            set.branches.push_back({c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]});
        });
        if (set.branches.empty()) {
            return;
        }
        rows.forEach(table("tipos"), std::nullopt,
                     [&](const Cells& c) { set.consumerTypes.push_back({c[0], c[1]}); });
        rows.forEach(table("tipos-filial"), branch, [&](const Cells& c) {
            set.consumerTypeBranches.push_back({c[0], c[1]});
        });
        rows.forEachBranchProduct(
            branch, [&](const Cells& c) { set.products.push_back({c[0], c[1], c[2]}); });
        rows.forEach(table("sortimento"), branch,
                     [&](const Cells& c) { set.assortment.push_back({c[0], c[1]}); });
    });
    if (set.branches.empty()) {
        throw std::runtime_error("filial " + branch + " não cadastrada");
    }
    return set;
}

}  // namespace server
