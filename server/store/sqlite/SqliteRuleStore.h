#pragma once
// The embedded storage: one SQLite file.

#include <memory>
#include <string>

#include "server/store/StoreFactory.h"

namespace server {

struct SqliteConnection;

/// RuleStore over a SQLite file in WAL mode, so that `rules` and other readers can look
/// at the file while a server writes it. Dates are ISO text. A writer in the way is
/// waited for up to ten seconds, never past the call's deadline; a statement running
/// past the deadline is interrupted.
class SqliteRuleStore : public RuleStore {
public:
    /// Opens the file; with MayCreate a missing one is made, readable by its owner only.
    /// Throws std::runtime_error, naming the path when it must exist and does not.
    SqliteRuleStore(const std::string& path, Creation creation);
    ~SqliteRuleStore() override;

    UpsertCounts upsertRules(const std::vector<RuleRow>& rows) override;
    UpsertCounts upsertRule(const RuleRows& rows) override;
    void query(std::string_view sql, const std::vector<SqlParam>& params,
               const std::function<void(const SqlRow&)>& fn, SqlRows rows) override;
    long execute(std::string_view sql, const std::vector<SqlParam>& params) override;
    void insertRows(std::string_view table, std::string_view columns,
                    const std::function<bool(std::vector<SqlCell>&)>& next) override;
    bool hasTable(std::string_view name) override;
    bool readsAlongside() override;
    void readTogether(const std::function<void()>& body) override;
    void setDeadline(std::chrono::steady_clock::time_point deadline) override;
    void interrupt() override;
    bool awaitChangeNotice(std::chrono::milliseconds timeout) override;

protected:
    void runWriteTransaction(const std::function<void()>& body, WriteScope scope) override;

private:
    void prepareHistory();
    std::unique_ptr<SqliteConnection> db_;
    long long dataVersion_ = -1;  // PRAGMA data_version when last looked at
};

}  // namespace server
