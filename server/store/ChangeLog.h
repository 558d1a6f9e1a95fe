#pragma once
// The changes of one write transaction, kept until its end numbers and writes them.

#include <optional>
#include <set>

#include "server/store/Change.h"

namespace server {

class RuleStore;

/// The rows a write transaction adds to ALTPRECO, each once, in the order of their
/// places. Not thread-safe: one per store.
class ChangeLog {
public:
    void add(Change change) { pending_.insert(std::move(change)); }
    void clear() { pending_.clear(); }
    bool empty() const { return pending_.empty(); }
    /// Inside the write transaction, as its last statements: takes the change log's lock
    /// (RuleStore::lockChangeLog), numbers the rows from the highest number stored plus
    /// one and appends them, all with one time (UTC). What was written, or nullopt when
    /// nothing was pending. The rows stay pending until clear().
    std::optional<CommittedChanges> write(RuleStore& store) const;

private:
    std::set<Change> pending_;
};

}  // namespace server
