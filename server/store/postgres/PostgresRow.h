#pragma once
// The rows of a libpq result.

#include <functional>

#include <libpq-fe.h>

#include "server/store/SqlStatement.h"

namespace server {

/// A row of a libpq result: every value is text already.
class PostgresRow : public SqlRow {
public:
    PostgresRow(const PGresult* result, int row) : result_(result), row_(row) {}
    bool isNull(int c) const override;
    std::string_view text(int c) const override;
    void next() { ++row_; }

    /// Calls fn for every row of result, in order.
    static void forEach(const PGresult* result, const std::function<void(const SqlRow&)>& fn);

private:
    const PGresult* result_;
    int row_;
};

}  // namespace server
