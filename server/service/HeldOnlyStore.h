#pragma once
// A store with no database behind it, for answers from memory alone.

#include "server/store/RuleStore.h"

namespace server {

/// Every use of the database throws NotHeld: a method run against it answers from what
/// the server holds in memory (DataReads) or gives up at its first read of the database,
/// having waited for nothing.
class HeldOnlyStore final : public RuleStore {
public:
    UpsertCounts upsertRules(const std::vector<RuleRow>& rows) override;
    UpsertCounts upsertRule(const RuleRows& rows) override;
    void query(std::string_view sql, const std::vector<SqlParam>& params,
               const std::function<void(const SqlRow&)>& fn, SqlRows rows) override;
    long execute(std::string_view sql, const std::vector<SqlParam>& params) override;
    void insertRows(std::string_view table, std::string_view columns,
                    const std::function<bool(std::vector<SqlCell>&)>& next) override;
    bool hasTable(std::string_view name) override;
    bool awaitChangeNotice(std::chrono::milliseconds timeout) override;
    void readTogether(const std::function<void()>& body) override;
    void setDeadline(std::chrono::steady_clock::time_point deadline) override;
    void interrupt() override;

protected:
    void runWriteTransaction(const std::function<void()>& body, WriteScope scope) override;
};

}  // namespace server
