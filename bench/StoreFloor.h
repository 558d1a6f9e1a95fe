#pragma once
// The floor of storing a rule: the database's own C API doing nothing but the upsert.

#include <string>
#include <vector>

namespace bench {

/// The rows to write: every product with every day, the other columns those of the
/// stored rule (branch 0001, table 001, period 2026-01-01, February 2026, 0001-2359).
struct FloorRows {
    std::vector<std::string> products;
    std::vector<char> days;
};

/// Whether the floor also keeps the history of the rows it replaces, and the change log.
enum class FloorHistory { None, CopyReplaced, CopyReplacedAndLog };

/// Upserts the rows into PRECDIF of the SQLite file: WAL, one transaction, one prepared
/// INSERT ... ON CONFLICT DO UPDATE whose shared values are bound once, only the product
/// and day bound again per row. With CopyReplaced each row is first copied from PRECDIF
/// into PRECDIFHIST by a second prepared INSERT ... SELECT (nothing when it is new).
/// With CopyReplacedAndLog each product's rows are then named in ALTPRECO by a third
/// prepared INSERT, numbered on from the highest number stored.
/// Returns the seconds from BEGIN to the end of COMMIT. Throws std::runtime_error.
double sqliteUpsertFloor(const std::string& path, const FloorRows& rows,
                         FloorHistory history = FloorHistory::None);

/// Upserts the rows into PRECDIF of the PostgreSQL database: one transaction, COPY into a
/// temporary table, one INSERT ... SELECT ... ON CONFLICT DO UPDATE. The COPY text is
/// built before the clock starts. Returns the seconds from BEGIN to the end of COMMIT.
double postgresCopyMergeFloor(const std::string& url, const FloorRows& rows);

}  // namespace bench
