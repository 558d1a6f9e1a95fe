#pragma once
// The shared storage: a PostgreSQL database used by many hosts and server processes.

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "server/store/RuleStore.h"

namespace server {

struct PostgresConnection;
class PostgresCopyStream;

/// RuleStore over libpq. Every value travels as a bound parameter or through COPY, never
/// inside SQL text. Rules are upserted by COPY into a temporary table and one
/// INSERT ... SELECT ... ON CONFLICT, inside one transaction. Every wait for the database
/// is bounded by the call's deadline; a connection lost or abandoned is opened again by
/// the next statement outside a transaction.
class PostgresRuleStore : public RuleStore {
public:
    /// Connects with a libpq connection URI. Throws StoreError.
    explicit PostgresRuleStore(const std::string& url);
    PostgresRuleStore(const std::string& url, const StoreSettings& settings);
    ~PostgresRuleStore() override;

    UpsertCounts upsertRules(const std::vector<RuleRow>& rows) override;
    UpsertCounts upsertRule(const RuleRows& rows) override;
    void query(std::string_view sql, const std::vector<SqlParam>& params,
               const std::function<void(const SqlRow&)>& fn, SqlRows rows) override;
    long execute(std::string_view sql, const std::vector<SqlParam>& params) override;
    void insertRows(std::string_view table, std::string_view columns,
                    const std::function<bool(std::vector<SqlCell>&)>& next) override;
    bool hasTable(std::string_view name) override;
    std::vector<std::string> missingPrivileges() override;
    void readTogether(const std::function<void()>& body) override;
    void lockPriceTable(const std::string& branch, const std::string& table) override;
    void lockChangeLog() override;
    void setDeadline(std::chrono::steady_clock::time_point deadline) override;
    void interrupt() override;
    bool awaitChangeNotice(std::chrono::milliseconds timeout) override;

protected:
    void runWriteTransaction(const std::function<void()>& body, WriteScope scope) override;

private:
    /// (branch, table) pairs, in the order their locks are taken.
    using PriceTables = std::set<std::pair<std::string, std::string>>;
    // One transaction: the lines `send` writes go through COPY into a staging table,
    // then, with the price tables' locks held, into the history and into PRECDIF by one
    // INSERT ... SELECT ... ON CONFLICT.
    UpsertCounts upsertLines(const PriceTables& tables,
                             const std::function<void(PostgresCopyStream&)>& send);
    std::unique_ptr<PostgresConnection> conn_;
    const void* listeningOn_ = nullptr;  // the connection that has LISTENed, if any
};

}  // namespace server
