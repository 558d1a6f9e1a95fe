#pragma once
// A store that hands every call to a real one, for tests to watch or to act between a
// call's statements (override the primitive to watch, and call the base).

#include <memory>
#include <utility>

#include "server/store/RuleStore.h"

namespace testdb {

class ForwardingStore : public server::RuleStore {
public:
    explicit ForwardingStore(std::unique_ptr<server::RuleStore> inner) : inner_(std::move(inner)) {}

    server::RuleStore& inner() { return *inner_; }

    server::UpsertCounts upsertRules(const std::vector<server::RuleRow>& rows) override {
        inner_->setCaller(caller());
        return inner_->upsertRules(rows);
    }
    server::UpsertCounts upsertRule(const server::RuleRows& rows) override {
        inner_->setCaller(caller());
        return inner_->upsertRule(rows);
    }
    void query(std::string_view sql, const std::vector<server::SqlParam>& params,
               const std::function<void(const server::SqlRow&)>& fn,
               server::SqlRows rows) override {
        inner_->query(sql, params, fn, rows);
    }
    long execute(std::string_view sql, const std::vector<server::SqlParam>& params) override {
        inner_->setCaller(caller());
        return inner_->execute(sql, params);
    }
    void insertRows(std::string_view table, std::string_view columns,
                    const std::function<bool(std::vector<server::SqlCell>&)>& next) override {
        inner_->insertRows(table, columns, next);
    }
    bool hasTable(std::string_view name) override { return inner_->hasTable(name); }
    bool readsAlongside() override { return inner_->readsAlongside(); }
    void lockChangeLog() override { inner_->lockChangeLog(); }
    bool awaitChangeNotice(std::chrono::milliseconds timeout) override {
        return inner_->awaitChangeNotice(timeout);
    }
    void readTogether(const std::function<void()>& body) override { inner_->readTogether(body); }
    void setDeadline(std::chrono::steady_clock::time_point deadline) override {
        inner_->setDeadline(deadline);
    }
    void interrupt() override { inner_->interrupt(); }

protected:
    void runWriteTransaction(const std::function<void()>& body,
                             server::WriteScope scope) override {
        inner_->writeTransaction(body, scope);
    }

private:
    std::unique_ptr<server::RuleStore> inner_;
};

}  // namespace testdb
