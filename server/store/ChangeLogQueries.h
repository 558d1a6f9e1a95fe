#pragma once
// The reads and the pruning of the change log (ALTPRECO), for both backends.

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "server/store/Change.h"
#include "server/store/RuleStore.h"

namespace server {

/// The numbers the change log holds; both 0 when it is empty.
struct ChangeSpan {
    long long oldest = 0;
    long long highest = 0;
};

/// One row of ALTPRECO as a till reads it.
struct LoggedChange {
    long long number = 0;                    ///< NRALTERACAO
    char kind = 'R';                         ///< IDALTERACAO
    std::optional<std::string> periodStart;  ///< DTINIVGPREC as "YYYY-MM-DD"
    std::optional<std::string> product;      ///< CDPRODUTO
};

/// Stateless: every method runs its statements on the store it is given.
class ChangeLogQueries {
public:
    explicit ChangeLogQueries(RuleStore& store) : store_(store) {}

    ChangeSpan span();
    /// The changes numbered above `since` that concern the branch (its own or "T") and
    /// the table (its own or every table), in number order, at most limit.
    std::vector<LoggedChange> changesFor(const std::string& branch, const std::string& table,
                                         long long since, long limit);
    /// The changes numbered above `since`, in number order, at most limit, each with its
    /// number.
    std::vector<std::pair<long long, Change>> since(long long since, long limit);
    /// For every branch named by a change numbered above `since` (CDFILIAL, "T"
    /// included), the highest such number.
    std::vector<std::pair<std::string, long long>> branchesSince(long long since);
    /// Removes up to `batch` of the oldest rows committed before `before` (UTC,
    /// "YYYY-MM-DD HH:MM:SS"), never the newest row, in a transaction of its own; how many.
    long prune(const std::string& before, long batch);

private:
    RuleStore& store_;
};

}  // namespace server
