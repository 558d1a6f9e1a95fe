#pragma once
// The rule rows of a store, written into PRECDIF on SQLite.

#include <string>

#include "server/pricing/RuleRow.h"
#include "server/store/RuleStore.h"
#include "server/store/sqlite/SqliteStatement.h"

struct sqlite3;

namespace server {

struct SqliteConnection;

/// Writes PRECDIF rows through one prepared upsert, counting new and replaced rows. A
/// column is bound again only when its value differs from the row before: the rows of
/// one rule share all but two columns, and binding costs as much as a good part of the
/// insert itself. Bound texts are held here, so nothing is copied into the statement.
/// Runs inside the caller's transaction.
class SqliteRuleWriter {
public:
    /// now: DTULTATU of every row written.
    SqliteRuleWriter(SqliteConnection& c, std::string now);
    /// Throws StoreError.
    void write(const RuleRow& r);
    UpsertCounts counts() const { return counts_; }

private:
    struct HeldDate {
        wire::Date date;
        std::string text;
    };

    void bindHeld(int i, const std::string& held);
    void text(int i, std::string& held, const std::string& value);
    void date(int i, HeldDate& held, const wire::Date& value);
    void integer(int i, int& held, int value);

    sqlite3* db_;
    SqliteStatement upsert_;
    std::string now_;
    bool first_ = true;
    std::string branch_, table_, product_, consumerType_, timeStart_, timeEnd_;
    char day_[1] = {' '};
    HeldDate periodStart_, validFrom_, validTo_;
    int adjustment_ = 0, amountKind_ = 0, display_ = 0;
    double amount_ = 0;
    UpsertCounts counts_;
};

}  // namespace server
