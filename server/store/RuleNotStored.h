#pragma once
// A removal that names a rule row the database does not hold.

#include <stdexcept>
#include <utility>

#include "server/pricing/RuleRow.h"

namespace server {

/// Thrown by a removal when one of its keys is not stored (another user may have removed
/// it): the whole removal was rolled back, nothing was removed. The caller tells the
/// person which rule it was.
class RuleNotStored : public std::runtime_error {
public:
    explicit RuleNotStored(RuleRow key)
        : std::runtime_error("regra não gravada: " + key.product), key_(std::move(key)) {}
    /// The ten key columns of the rule that is not stored.
    const RuleRow& key() const { return key_; }

private:
    RuleRow key_;
};

}  // namespace server
