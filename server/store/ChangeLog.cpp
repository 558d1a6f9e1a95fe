#include "server/store/ChangeLog.h"

#include "server/store/RuleStore.h"
#include "server/store/Schema.h"
#include "server/store/Timestamps.h"

namespace server {

std::optional<CommittedChanges> ChangeLog::write(RuleStore& store) const {
    if (pending_.empty()) {
        return std::nullopt;
    }
    // Last in the transaction, so that the lock is held only for these rows and the
    // commit: the next transaction's numbers are taken once this one is visible.
    store.lockChangeLog();
    long long highest = 0;
    store.query("SELECT COALESCE(MAX(NRALTERACAO), 0) FROM ALTPRECO", {},
                [&](const SqlRow& r) { highest = r.integer(0); });
    CommittedChanges written;
    written.first = highest + 1;
    written.last = highest + static_cast<long long>(pending_.size());
    const std::string at = operationTimestamp();
    std::string number;
    std::string kind(1, ' ');
    auto next = pending_.begin();
    long long n = highest;
    store.insertRows("ALTPRECO", schema::kChangeColumns, [&](std::vector<SqlCell>& out) {
        if (next == pending_.end()) {
            return false;
        }
        const Change& c = *next++;
        number = std::to_string(++n);
        kind[0] = static_cast<char>(c.kind);
        auto cell = [](const std::optional<std::string>& v) -> SqlCell {
            return v ? SqlCell(std::string_view(*v)) : SqlCell(nullptr);
        };
        out.assign({number, at, c.branch, cell(c.table), cell(c.periodStart), cell(c.product),
                    kind});
        // The rows come in branch order: each branch is named once.
        if (written.branches.empty() || written.branches.back() != c.branch) {
            written.branches.push_back(c.branch);
        }
        return true;
    });
    if (pending_.size() <= kListedChanges) {
        written.changes.assign(pending_.begin(), pending_.end());
    } else {
        for (const ChangeKind each : kChangeKinds) {
            written.changes.push_back(Change::ofBranch("T", each));
        }
    }
    return written;
}

}  // namespace server
