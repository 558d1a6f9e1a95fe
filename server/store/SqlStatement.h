#pragma once
// Statements written once for both backends. The text is SQL common to SQLite and
// PostgreSQL, with markers for what each spells its own way:
//   {t1} {d1} {s1} {i1} {n1}  parameter 1 as text, date, timestamp, integer or number
//   {date:COL}           a DATE column read as "YYYY-MM-DD"
//   {stamp:COL}          a TIMESTAMP column read as "YYYY-MM-DD HH:MM:SS"
//   {list:N}             parameter N, a list of texts (listParam), as a one-column
//                        table: "CODE IN ({list:2})"
// Parameters are texts (or null) and travel bound, never inside the SQL.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace server {

/// A bound value of a statement: its text, or null.
using SqlParam = std::optional<std::string>;

/// The value of a {list:N} parameter: the texts as one JSON array.
std::string listParam(const std::vector<std::string>& texts);

/// A cell of a row appended by RuleStore::insertRows: a text, a number, or null.
using SqlCell = std::variant<std::string_view, double, std::nullptr_t>;

/// The two spellings.
enum class SqlDialect { Sqlite, Postgres };

/// The statement as one backend takes it. Throws std::invalid_argument for a marker it
/// does not know (a fault of the statement, not of the data).
std::string renderSql(std::string_view shared, SqlDialect dialect);

/// One row of a result, read by column (0-based). Valid only during the call it is
/// given to.
class SqlRow {
public:
    virtual ~SqlRow() = default;
    virtual bool isNull(int column) const = 0;
    /// The cell as text ("" for null).
    virtual std::string_view text(int column) const = 0;
    /// The cell as an integer (0 for null). Throws StoreError for a text that is not one.
    virtual long long integer(int column) const;
    /// The cell as the stored double (0 for null). Throws StoreError for a text that is
    /// not a number.
    virtual double number(int column) const;
    std::optional<double> optionalNumber(int column) const;
};

/// How many rows a query may give: Many are read a batch at a time, never all at once.
enum class SqlRows { Few, Many };

}  // namespace server
