#pragma once
// Checks a SetPrecDif request against the stored data and expands it into PRECDIF rows.

#include <optional>
#include <string>
#include <vector>

#include "server/store/RuleStore.h"
#include "protocol/RuleArguments.h"
#include "server/pricing/RuleText.h"

namespace server {

/// What the store knows about the names a request uses, read before it is checked.
struct RuleContext {
    bool branchExists = false;
    bool tableExists = false;                         ///< the table, in that branch
    std::optional<ValidityPeriod> period;       ///< the one starting on periodStart
    bool consumerTypeExists = false;                  ///< ignored for "T"
    std::vector<ProductRef> branchProducts;           ///< in code order
};

/// Reads from the store everything checkRule needs for this request.
RuleContext loadRuleContext(RuleStore& store, const wire::RuleArguments& request);

/// Checks every condition a stored rule must meet and returns its rows: one per product
/// and per ticked day ("every day" gives the one day T), with distinct keys. Throws
/// Refusal (Reason::Rule) with a Portuguese text at the first condition that fails. Pure:
/// no I/O.
std::vector<RuleRow> checkRule(const wire::RuleArguments& request, const RuleContext& context);
/// The same checks; the rows in compact form (products x days), in the same order.
RuleRows checkRuleRows(const wire::RuleArguments& request, const RuleContext& context);

/// Checks the request against the store and writes its rows, in one write transaction:
/// what was checked (branch, table, period, consumer type, products sold) is what the
/// rows are written against, whatever another process changes meanwhile. Throws as
/// checkRuleRows and as RuleStore::upsertRule.
UpsertCounts storeRule(RuleStore& store, const wire::RuleArguments& request);

}  // namespace server
