#include "server/service/HeldOnlyStore.h"

#include "server/service/NotHeld.h"

namespace server {

UpsertCounts HeldOnlyStore::upsertRules(const std::vector<RuleRow>&) { throw NotHeld(); }
UpsertCounts HeldOnlyStore::upsertRule(const RuleRows&) { throw NotHeld(); }
void HeldOnlyStore::query(std::string_view, const std::vector<SqlParam>&,
                          const std::function<void(const SqlRow&)>&, SqlRows) {
    throw NotHeld();
}
long HeldOnlyStore::execute(std::string_view, const std::vector<SqlParam>&) { throw NotHeld(); }
void HeldOnlyStore::insertRows(std::string_view, std::string_view,
                               const std::function<bool(std::vector<SqlCell>&)>&) {
    throw NotHeld();
}
bool HeldOnlyStore::hasTable(std::string_view) { throw NotHeld(); }
bool HeldOnlyStore::awaitChangeNotice(std::chrono::milliseconds) { throw NotHeld(); }
void HeldOnlyStore::readTogether(const std::function<void()>&) { throw NotHeld(); }
void HeldOnlyStore::setDeadline(std::chrono::steady_clock::time_point) {}
void HeldOnlyStore::interrupt() {}
void HeldOnlyStore::runWriteTransaction(const std::function<void()>&, WriteScope) {
    throw NotHeld();
}

}  // namespace server
