#pragma once
// The reads that calls make of the reference data, the periods, the holidays and the
// products' prices and rules: from memory when held, else from the store (and then held).

#include <optional>
#include <string>
#include <vector>

#include "server/service/HeldData.h"
#include "server/store/RuleStore.h"

namespace server {

/// Gives what the store's own reads give, in the same order. Without held, every read goes
/// to the store. With it, a piece held is answered from memory and one that is not is
/// read from the store and offered to held, as read at `seen` (HeldData::generation()
/// taken before the store's transaction began). Over a HeldOnlyStore, a piece not held
/// throws NotHeld.
class DataReads {
public:
    DataReads(RuleStore& store, HeldData* held, HeldData::Generation seen)
        : store_(store), held_(held), seen_(seen) {}
    /// Every read from the store.
    DataReads(RuleStore& store) : store_(store), held_(nullptr), seen_(0) {}  // NOLINT

    /// Every branch when code is absent, else the one with that exact code (or none).
    std::vector<Branch> branches(const std::optional<std::string>& code);
    /// The branch's price tables in code order.
    std::vector<PriceTable> priceTables(const std::string& branch);
    /// The table's validity periods in start order; only the one starting on `start`.
    std::vector<ValidityPeriod> periods(const std::string& branch, const std::string& table,
                                        const std::optional<wire::Date>& start);
    bool consumerTypeExists(const std::string& code);
    /// Holidays of the branch and of every branch ("T"), or of all branches when branch
    /// is absent, from `from` to `to`, both included, in date order.
    std::vector<Holiday> holidays(const std::optional<std::string>& branch, const wire::Date& from,
                                  const wire::Date& to);
    /// The product as the branch sells it in the period, with its rules of the period
    /// (none when the branch does not sell it).
    HeldData::Held<HeldProduct> product(const std::string& branch, const std::string& table,
                                        const wire::Date& periodStart, const std::string& code);

    RuleStore& store() const { return store_; }

private:
    RuleStore& store_;
    HeldData* held_;
    HeldData::Generation seen_;
};

}  // namespace server
